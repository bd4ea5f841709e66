#include "win32/ForegroundLayout.h"

#include <array>

namespace quenby {
namespace {

// VkKeyScanExW's shift state bits.
constexpr BYTE kShiftBit = 1;
constexpr BYTE kControlBit = 2;
constexpr BYTE kAltBit = 4;

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
    const SHORT found = ::VkKeyScanExW(character, m_layout);
    if (found == -1) {
        return std::nullopt;
    }
    const auto virtualKey = static_cast<WORD>(found & 0xFF);
    const auto shiftState = static_cast<BYTE>((found >> 8) & 0xFF);
    const std::optional<std::uint8_t> modifiers = ModifiersFor(shiftState);
    if (!modifiers || IsDeadKey(virtualKey, shiftState)) {
        return std::nullopt;
    }
    const UINT scan = ::MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_VSC, m_layout);
    if (scan == 0) {
        return std::nullopt;
    }
    return KeyForCharacter{MakeKeyCode(virtualKey, static_cast<WORD>(scan)), *modifiers};
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

bool CForegroundLayout::IsDeadKey(WORD virtualKey, BYTE shiftState) const {
    std::array<BYTE, 256> keys{};
    if ((shiftState & kShiftBit) != 0) {
        keys[VK_SHIFT] = keys[VK_LSHIFT] = 0x80;
    }
    if ((shiftState & kControlBit) != 0) {
        keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    }
    if ((shiftState & kAltBit) != 0) {
        keys[VK_MENU] = keys[VK_LMENU] = 0x80;
    }
    const UINT scan = ::MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_VSC, m_layout);
    std::array<wchar_t, 8> out{};
    // Flag 4: leave the thread's keyboard state (its pending dead key) as it was.
    const int result = ::ToUnicodeEx(virtualKey, scan, keys.data(), out.data(),
                                     static_cast<int>(out.size()), 4, m_layout);
    if (result < 0) {
        // Systems that ignore the flag keep the dead key pending: a space takes it out again.
        std::array<BYTE, 256> none{};
        const UINT space = ::MapVirtualKeyExW(VK_SPACE, MAPVK_VK_TO_VSC, m_layout);
        ::ToUnicodeEx(VK_SPACE, space, none.data(), out.data(), static_cast<int>(out.size()), 0,
                      m_layout);
    }
    return result < 0;
}

}  // namespace quenby
