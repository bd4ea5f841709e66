#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "linux/x11/X11Compose.h"
#include "linux/x11/XcbConnection.h"
#include "platform/KeyboardOutput.h"

namespace quenby {

// The keys behind a sequence key: for each of its two presses, the modifier keys held, then the
// key.
struct PressSequence {
    std::array<std::vector<KeyCode>, 2> m_held;
    std::array<KeyCode, 2> m_keys{};
};

// The characters the X server's current keymap can type in its active group: for each one the
// key and the modifiers (Shift, AltGr, Level 5) that select its level, with the locked modifiers
// (Caps Lock, Num Lock) as they are now. Found by replaying key presses on a local copy of the
// server's XKB state, so what it says is what the server will produce.
//
// A character the group reaches only through a dead key (and the compose table) is found as a
// sequence key: a number past the keycodes that stands for the dead key and the key after it,
// which the keyboard output presses in turn. The typer above sees one key, so a sequence is never
// cut in two and no dead key is left pending.
class CX11Layout final : public IKeyboardLayout {
public:
    // Sequence keys are numbered from here on, indexes into Sequences().
    static constexpr KeyCode kFirstSequenceKey = 0x10000;

    explicit CX11Layout(std::unique_ptr<CXkbSnapshot> snapshot);

    std::optional<KeyForCharacter> FindKey(char16_t unit) override;
    KeyCode ModifierKey(EKeyModifier modifier) override;

    // The same for any code point (the Unicode method types whole characters).
    std::optional<KeyForCharacter> FindCodePoint(char32_t codePoint) const;
    const CXkbSnapshot& Snapshot() const { return *m_snapshot; }
    // The key presses behind each sequence key, shared with the output that types them.
    std::shared_ptr<const std::vector<PressSequence>> Sequences() const { return m_sequences; }

private:
    void FindModifierKeys();
    void MapCharacters();

    std::unique_ptr<CXkbSnapshot> m_snapshot;
    std::array<xkb_keycode_t, 3> m_modifierKeys{};  // Shift, Level 3, Level 5; 0 when absent
    std::unordered_map<char32_t, KeyForCharacter> m_characters;
    std::vector<std::pair<xkb_keysym_t, KeyForCharacter>> m_strokes;  // every keysym of the group
    bool m_bComposedFound = false;  // looked up at the first character without a key of its own
    std::unordered_map<char32_t, KeyCode> m_composed;
    std::shared_ptr<std::vector<PressSequence>> m_sequences =
        std::make_shared<std::vector<PressSequence>>();
};

}  // namespace quenby
