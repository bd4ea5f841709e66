#include "win32/ForegroundLayout.h"

#include <array>

namespace quenby {
namespace {

// VkKeyScanExW's shift state bits.
constexpr BYTE kShiftBit = 1;
constexpr BYTE kControlBit = 2;
constexpr BYTE kAltBit = 4;

constexpr std::array<BYTE, 4> kUsableShiftStates{0, kShiftBit, kControlBit | kAltBit,
                                                 kShiftBit | kControlBit | kAltBit};

std::optional<std::uint8_t> ModifiersFor(BYTE shiftState) {
    switch (shiftState) {
        case 0:
            return std::uint8_t{0};
        case kShiftBit:
            return std::uint8_t{KEY_MODIFIER_SHIFT};
        case kControlBit | kAltBit:
            return std::uint8_t{KEY_MODIFIER_CONTROL | KEY_MODIFIER_ALT};
        case kShiftBit | kControlBit | kAltBit:
            return std::uint8_t{KEY_MODIFIER_SHIFT | KEY_MODIFIER_CONTROL | KEY_MODIFIER_ALT};
        default:
            return std::nullopt;
    }
}

}  // namespace

std::unique_ptr<CForegroundLayout> CForegroundLayout::Load() {
    DWORD thread = 0;
    if (HWND foreground = ::GetForegroundWindow(); foreground != nullptr) {
        thread = ::GetWindowThreadProcessId(foreground, nullptr);
    }
    HKL layout = ::GetKeyboardLayout(thread);
    if (layout == nullptr) {
        return nullptr;
    }
    return std::make_unique<CForegroundLayout>(layout);
}

std::optional<KeyForCharacter> CForegroundLayout::FindKey(char16_t unit) {
    // Half a surrogate pair is no character: no key types it.
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        return std::nullopt;
    }
    // Line feed is typed as Return, as carriage return is, not as the layout's Ctrl+Return.
    const wchar_t character = unit == u'\n' ? L'\r' : static_cast<wchar_t>(unit);
    std::optional<LayoutKey> key;
    if (const SHORT found = ::VkKeyScanExW(character, m_layout); found != -1) {
        const LayoutKey candidate{static_cast<WORD>(found & 0xFF),
                                  static_cast<BYTE>((found >> 8) & 0xFF)};
        if (ModifiersFor(candidate.m_shiftState) && Produces(candidate) == character) {
            key = candidate;
        }
    }
    if (!key) {
        key = SearchAllKeys(character);
    }
    if (!key) {
        return std::nullopt;
    }
    const UINT scan = ::MapVirtualKeyExW(key->m_virtualKey, MAPVK_VK_TO_VSC, m_layout);
    if (scan == 0) {
        return std::nullopt;
    }
    return KeyForCharacter{MakeKeyCode(key->m_virtualKey, static_cast<WORD>(scan)),
                           *ModifiersFor(key->m_shiftState)};
}

std::optional<CForegroundLayout::LayoutKey> CForegroundLayout::SearchAllKeys(wchar_t character) {
    if (!m_bSearched) {
        m_bSearched = true;
        // Fewer modifiers first, so the plainest way to type a character wins.
        for (BYTE shiftState : kUsableShiftStates) {
            for (UINT virtualKey = 1; virtualKey < 0xFF; ++virtualKey) {
                const LayoutKey key{static_cast<WORD>(virtualKey), shiftState};
                if (const std::optional<wchar_t> produced = Produces(key)) {
                    m_allKeys.emplace(*produced, key);
                }
            }
        }
    }
    const auto it = m_allKeys.find(character);
    return it == m_allKeys.end() ? std::nullopt : std::optional<LayoutKey>(it->second);
}

KeyCode CForegroundLayout::ModifierKey(EKeyModifier modifier) {
    WORD virtualKey = VK_LSHIFT;
    if (modifier == KEY_MODIFIER_CONTROL) {
        virtualKey = VK_LCONTROL;
    } else if (modifier == KEY_MODIFIER_ALT) {
        virtualKey = VK_LMENU;
    }
    const UINT scan = ::MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_VSC, m_layout);
    return MakeKeyCode(virtualKey, static_cast<WORD>(scan));
}

std::optional<wchar_t> CForegroundLayout::Produces(LayoutKey key) const {
    std::array<BYTE, 256> keys{};
    if ((key.m_shiftState & kShiftBit) != 0) {
        keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
    }
    if ((key.m_shiftState & kControlBit) != 0) {
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    }
    if ((key.m_shiftState & kAltBit) != 0) {
        keys[VK_MENU] = keys[VK_LMENU] = 0x80;
    }
    const UINT scan = ::MapVirtualKeyExW(key.m_virtualKey, MAPVK_VK_TO_VSC, m_layout);
    if (scan == 0) {
        return std::nullopt;
    }
    std::array<wchar_t, 8> out{};
    // Flag 4: leave the thread's keyboard state (its pending dead key) as it was.
    const int result = ::ToUnicodeEx(key.m_virtualKey, scan, keys.data(), out.data(),
                                     static_cast<int>(out.size()), 4, m_layout);
    if (result < 0) {
        // Systems that ignore the flag keep the dead key pending: a space takes it out again.
        std::array<BYTE, 256> none{};
        const UINT space = ::MapVirtualKeyExW(VK_SPACE, MAPVK_VK_TO_VSC, m_layout);
        ::ToUnicodeEx(VK_SPACE, space, none.data(), out.data(), static_cast<int>(out.size()), 0,
                      m_layout);
    }
    if (result != 1) {
        return std::nullopt;
    }
    return out[0];
}

}  // namespace quenby
