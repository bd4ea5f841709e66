#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "linux/x11/XcbConnection.h"
#include "linux/xkb/XkbCompose.h"
#include "platform/KeyboardOutput.h"

namespace quenby {

// The characters the X server's current keymap can type in its active group: for each one the
// key and the modifiers (Shift, AltGr, Level 5) that select its level, with the locked modifiers
// (Caps Lock, Num Lock) as they are now. Found by replaying key presses on a local copy of the
// server's XKB state, so what it says is what the server will produce.
//
// A character the group reaches only through a dead key (and the compose table) is found as a
// sequence key (CComposedKeys).
class CX11Layout final : public IKeyboardLayout {
public:
    explicit CX11Layout(std::unique_ptr<CXkbSnapshot> snapshot);

    std::optional<KeyForCharacter> FindKey(char16_t unit) override;
    KeyCode ModifierKey(EKeyModifier modifier) override;

    // The same for any code point (the Unicode method types whole characters).
    std::optional<KeyForCharacter> FindCodePoint(char32_t codePoint) const;
    const CXkbSnapshot& Snapshot() const { return *m_snapshot; }
    // The key presses behind each sequence key, shared with the output that types them.
    std::shared_ptr<const std::vector<PressSequence>> Sequences() const {
        return m_composed.Sequences();
    }

private:
    void FindModifierKeys();
    void MapCharacters();

    std::unique_ptr<CXkbSnapshot> m_snapshot;
    std::array<xkb_keycode_t, 3> m_modifierKeys{};  // Shift, Level 3, Level 5; 0 when absent
    std::unordered_map<char32_t, KeyForCharacter> m_characters;
    CComposedKeys m_composed;  // knows every keysym of the group
};

}  // namespace quenby
