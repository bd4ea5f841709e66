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

std::unique_ptr<CForegroundLayout> CForegroundLayout::Load(
    std::shared_ptr<CKeySequences> sequences) {
    DWORD thread = 0;
    if (HWND foreground = ::GetForegroundWindow(); foreground != nullptr) {
        thread = ::GetWindowThreadProcessId(foreground, nullptr);
    }
    HKL layout = ::GetKeyboardLayout(thread);
    if (layout == nullptr) {
        return nullptr;
    }
    return std::make_unique<CForegroundLayout>(layout, std::move(sequences));
}

std::optional<KeyForCharacter> CForegroundLayout::FindKey(char16_t unit) {
    // Half a surrogate pair is no character: no key types it.
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        return std::nullopt;
    }
    // Line feed is typed as Return, as carriage return is, not as the layout's Ctrl+Return.
    const wchar_t character = unit == u'\n' ? L'\r' : static_cast<wchar_t>(unit);
    std::optional<LayoutKey> key;
    if (const SHORT found = m_calls.m_vkKeyScan(character, m_layout); found != -1) {
        const LayoutKey candidate{static_cast<WORD>(found & 0xFF),
                                  static_cast<BYTE>((found >> 8) & 0xFF)};
        if (ModifiersFor(candidate.m_shiftState) && Produces(candidate) == character) {
            key = candidate;
        }
    }
    if (!key) {
        MapAllKeys();
        if (const auto it = m_allKeys.find(character); it != m_allKeys.end()) {
            key = it->second;
        } else if (const auto dead = m_deadKeyChars.find(character); dead != m_deadKeyChars.end()) {
            return KeyForCharacter{dead->second, 0};
        }
    }
    if (!key) {
        return std::nullopt;
    }
    const UINT scan = ScanCodeOf(key->m_virtualKey);
    if (scan == 0) {
        return std::nullopt;
    }
    return KeyForCharacter{MakeKeyCode(key->m_virtualKey, static_cast<WORD>(scan)),
                           *ModifiersFor(key->m_shiftState)};
}

void CForegroundLayout::MapAllKeys() {
    if (m_bMapped) {
        return;
    }
    m_bMapped = true;
    std::vector<LayoutKey> deadKeys;
    // Fewer modifiers first, so the plainest way to type a character wins.
    for (BYTE shiftState : kUsableShiftStates) {
        for (UINT virtualKey = 1; virtualKey < 0xFF; ++virtualKey) {
            // Not the keypad: what its scan codes type depends on Num Lock, and its slash needs
            // the extended flag, neither of which a scan code carries.
            if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_DIVIDE) {
                continue;
            }
            const LayoutKey key{static_cast<WORD>(virtualKey), shiftState};
            const auto [result, character] = Probe(key, false);
            if (result == 1) {
                m_allKeys.emplace(character, key);
            } else if (result < 0) {
                deadKeys.push_back(key);
            }
        }
    }
    if (m_sequences) {
        MapDeadKeys(deadKeys);
    }
}

void CForegroundLayout::MapDeadKeys(const std::vector<LayoutKey>& deadKeys) {
    // Space first: the accent on its own; then every key that types a character by itself.
    std::vector<std::pair<LayoutKey, wchar_t>> following{{LayoutKey{VK_SPACE, 0}, L' '}};
    for (const auto& [character, key] : m_allKeys) {
        if (character != L' ') {
            following.emplace_back(key, character);
        }
    }
    for (const LayoutKey& dead : deadKeys) {
        for (const auto& [next, itself] : following) {
            Probe(dead, true);
            const auto [result, character] = Probe(next, true);
            if (result < 0) {
                Probe(LayoutKey{VK_SPACE, 0}, true);  // a second dead key: take it out again
                continue;
            }
            // Only what the layout has no key of its own for; the first way found wins.
            if (result != 1 || (character == itself && next.m_virtualKey != VK_SPACE) ||
                m_allKeys.count(character) != 0 || m_deadKeyChars.count(character) != 0) {
                continue;
            }
            m_deadKeyChars.emplace(character, m_sequences->Add({StrokeFor(dead), StrokeFor(next)}));
        }
    }
}

KeyStroke CForegroundLayout::StrokeFor(LayoutKey key) {
    KeyStroke stroke;
    const UINT scan = ScanCodeOf(key.m_virtualKey);
    stroke.m_key = MakeKeyCode(key.m_virtualKey, static_cast<WORD>(scan));
    const std::uint8_t modifiers = ModifiersFor(key.m_shiftState).value_or(0);
    for (EKeyModifier modifier : {KEY_MODIFIER_SHIFT, KEY_MODIFIER_CONTROL, KEY_MODIFIER_ALT}) {
        if ((modifiers & modifier) != 0) {
            stroke.m_held.push_back(ModifierKey(modifier));
        }
    }
    return stroke;
}

KeyCode CForegroundLayout::ModifierKey(EKeyModifier modifier) {
    WORD virtualKey = VK_LSHIFT;
    if (modifier == KEY_MODIFIER_CONTROL) {
        virtualKey = VK_LCONTROL;
    } else if (modifier == KEY_MODIFIER_ALT) {
        virtualKey = VK_LMENU;
    }
    const UINT scan = ScanCodeOf(virtualKey);
    return MakeKeyCode(virtualKey, static_cast<WORD>(scan));
}

UINT CForegroundLayout::ScanCodeOf(WORD virtualKey) const {
    return m_calls.m_mapVirtualKey(virtualKey, MAPVK_VK_TO_VSC, m_layout);
}

std::pair<int, wchar_t> CForegroundLayout::Probe(LayoutKey key, bool keepState) const {
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
    const UINT scan = ScanCodeOf(key.m_virtualKey);
    if (scan == 0) {
        return {0, L'\0'};
    }
    std::array<wchar_t, 8> out{};
    // Flag 4: leave the thread's keyboard state (its pending dead key) as it was.
    const int result =
        m_calls.m_toUnicode(key.m_virtualKey, scan, keys.data(), out.data(),
                            static_cast<int>(out.size()), keepState ? 0 : 4, m_layout);
    if (result < 0 && !keepState) {
        // Systems that ignore the flag keep the dead key pending: a space takes it out again.
        Probe(LayoutKey{VK_SPACE, 0}, true);
    }
    return {result, out[0]};
}

std::optional<wchar_t> CForegroundLayout::Produces(LayoutKey key) const {
    const auto [result, character] = Probe(key, false);
    return result == 1 ? std::optional<wchar_t>(character) : std::nullopt;
}

}  // namespace quenby
