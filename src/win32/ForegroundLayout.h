#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <unordered_map>

#include "platform/KeyboardOutput.h"

namespace quenby {

// A key on Windows is its scan code with its virtual key beside it (bits 16 to 23): SendInput
// gets both.
constexpr KeyCode MakeKeyCode(WORD virtualKey, WORD scan) {
    return (static_cast<KeyCode>(virtualKey & 0xFF) << 16) | scan;
}
constexpr WORD VirtualKeyOf(KeyCode key) {
    return static_cast<WORD>((key >> 16) & 0xFF);
}
constexpr WORD ScanCodeOf(KeyCode key) {
    return static_cast<WORD>(key & 0xFFFF);
}

// The keys of one Windows keyboard layout (an HKL), looked up with VkKeyScanExW and
// MapVirtualKeyExW, each answer checked with ToUnicodeEx: what it says is what the key types.
// Where VkKeyScanExW has no answer or a wrong one (Wine answers from the first X key with the
// character, and misses Shift+9 for "(" because the keypad's parenthesis comes first), every key
// of the layout is tried. A character reached with Shift holds Left Shift; one reached with AltGr
// holds Left Ctrl and Left Alt, which Windows treats as AltGr. Characters that need other
// modifier combinations (Ctrl alone gives control codes, not text), and characters whose key is a
// dead key (it would type nothing until the next key, and then perhaps a composed character),
// count as absent, so the typer beeps and skips them rather than typing something else.
class CForegroundLayout final : public IKeyboardLayout {
public:
    explicit CForegroundLayout(HKL layout) : m_layout(layout) {}

    // The layout of the thread that owns the foreground window (the user's current layout, which
    // may differ from the one the user's locale names), or the calling thread's when no window
    // has the foreground.
    static std::unique_ptr<CForegroundLayout> Load();

    std::optional<KeyForCharacter> FindKey(char16_t unit) override;
    KeyCode ModifierKey(EKeyModifier modifier) override;

    HKL Handle() const { return m_layout; }

private:
    struct LayoutKey {
        WORD m_virtualKey = 0;
        BYTE m_shiftState = 0;  // VkKeyScanExW's bits: 1 Shift, 2 Ctrl, 4 Alt
    };

    // The one character the key types in that shift state; nothing for none, several or a dead key.
    std::optional<wchar_t> Produces(LayoutKey key) const;
    // Every key and usable shift state, for the characters VkKeyScanExW does not find.
    std::optional<LayoutKey> SearchAllKeys(wchar_t character);

    HKL m_layout;
    std::unordered_map<wchar_t, LayoutKey> m_allKeys;  // filled at the first search
    bool m_bSearched = false;
};

}  // namespace quenby
