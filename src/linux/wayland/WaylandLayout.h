#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "linux/xkb/XkbCompose.h"
#include "platform/KeyboardOutput.h"

namespace quenby {

// The characters the user's keymap (as the compositor sends it to every client) types in its
// first group with no lock active, each with its key and the modifiers (Shift, AltGr, Level 5)
// that select its level. A client without the focus is not told the active group or the locks,
// so the first group and no locks stand for "the layout now". Found by replaying key presses on
// a state of that keymap, so what it says is what the compositor will produce. A character the
// group reaches only through a dead key is a sequence key (CComposedKeys), as on X11: the
// focused client composes it with the same table.
class CWaylandLayout final : public IKeyboardLayout {
public:
    // Takes its own reference to the keymap.
    explicit CWaylandLayout(xkb_keymap* keymap);
    ~CWaylandLayout() override;
    CWaylandLayout(const CWaylandLayout&) = delete;
    CWaylandLayout& operator=(const CWaylandLayout&) = delete;

    std::optional<KeyForCharacter> FindKey(char16_t unit) override;
    KeyCode ModifierKey(EKeyModifier modifier) override;

    xkb_keymap* Keymap() const { return m_keymap; }
    // The key presses behind each sequence key, shared with the output that types them.
    std::shared_ptr<const std::vector<PressSequence>> Sequences() const {
        return m_composed.Sequences();
    }

private:
    void FindModifierKeys();
    void MapCharacters();

    xkb_keymap* m_keymap;
    std::array<xkb_keycode_t, 3> m_modifierKeys{};  // Shift, Level 3, Level 5; 0 when absent
    std::unordered_map<char16_t, KeyForCharacter> m_characters;
    CComposedKeys m_composed;  // knows every keysym of the first group
};

}  // namespace quenby
