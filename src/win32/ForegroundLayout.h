#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/KeyboardOutput.h"
#include "win32/KeySequences.h"

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

// The three questions put to a layout's tables; tests answer them for a layout of their own.
struct LayoutTableCalls {
    SHORT (*m_vkKeyScan)(WCHAR, HKL) = &::VkKeyScanExW;
    UINT (*m_mapVirtualKey)(UINT, UINT, HKL) = &::MapVirtualKeyExW;
    int (*m_toUnicode)(UINT, UINT, const BYTE*, LPWSTR, int, UINT, HKL) = &::ToUnicodeEx;
};

// The keys of one Windows keyboard layout (an HKL), looked up with VkKeyScanExW and
// MapVirtualKeyExW, each answer checked with ToUnicodeEx: what it says is what the key types.
// Where VkKeyScanExW has no answer or a wrong one (Wine answers from the first X key with the
// character, and misses Shift+9 for "(" because the keypad's parenthesis comes first), every key
// of the layout is tried. A character reached with Shift holds Left Shift; one reached with AltGr
// holds Left Ctrl and Left Alt, which Windows treats as AltGr. Characters that need other
// modifier combinations (Ctrl alone gives control codes, not text) count as absent, so the typer
// beeps and skips them rather than typing something else. A character the layout reaches only
// through a dead key is typed as that dead key and Space, or as the dead key and the letter it
// composes with, as the layout's own tables say (probed with ToUnicodeEx).
class CForegroundLayout final : public IKeyboardLayout {
public:
    // Without `sequences`, characters behind dead keys count as absent.
    explicit CForegroundLayout(HKL layout, std::shared_ptr<CKeySequences> sequences = nullptr,
                               LayoutTableCalls calls = {})
        : m_layout(layout), m_sequences(std::move(sequences)), m_calls(calls) {}

    // The layout of the thread that owns the foreground window (the user's current layout, which
    // may differ from the one the user's locale names), or the calling thread's when no window
    // has the foreground. Its dead-key sequences go into `sequences`.
    static std::unique_ptr<CForegroundLayout> Load(std::shared_ptr<CKeySequences> sequences);

    std::optional<KeyForCharacter> FindKey(char16_t unit) override;
    KeyCode ModifierKey(EKeyModifier modifier) override;

    HKL Handle() const { return m_layout; }

private:
    struct LayoutKey {
        WORD m_virtualKey = 0;
        BYTE m_shiftState = 0;  // VkKeyScanExW's bits: 1 Shift, 2 Ctrl, 4 Alt
    };

    // ToUnicodeEx for the key: its result (1: one character, below 0: a dead key) and the first
    // character. `keepState` leaves a dead key pending for the next call.
    std::pair<int, wchar_t> Probe(LayoutKey key, bool keepState) const;
    // The one character the key types in that shift state; nothing for none, several or a dead key.
    std::optional<wchar_t> Produces(LayoutKey key) const;
    // Every key in every usable shift state, for the characters VkKeyScanExW does not find.
    void MapAllKeys();
    // The characters each dead key gives with Space and with the keys mapped so far.
    void MapDeadKeys(const std::vector<LayoutKey>& deadKeys);
    KeyStroke StrokeFor(LayoutKey key);

    UINT ScanCodeOf(WORD virtualKey) const;

    HKL m_layout;
    std::shared_ptr<CKeySequences> m_sequences;
    LayoutTableCalls m_calls;
    std::unordered_map<wchar_t, LayoutKey> m_allKeys;     // filled at the first miss
    std::unordered_map<wchar_t, KeyCode> m_deadKeyChars;  // sequences, filled with it
    bool m_bMapped = false;
};

}  // namespace quenby
