#pragma once

#include <xkbcommon/xkbcommon.h>

#include <optional>
#include <string>
#include <unordered_set>

namespace quenby {

// The keysyms the user's layout has: every level of every key in the first group of the keymap
// the compositor sends its clients. The portal looks a keysym up in the layout and drops one it
// does not find; this is what tells, before typing, which characters would be dropped. A client
// without the focus is not told the active group, so the first group stands for "the layout".
class CLayoutKeysyms {
public:
    // From a keymap as XKB text; nothing when the text does not compile.
    static std::optional<CLayoutKeysyms> FromKeymap(const std::string& keymapText);

    // Whether a key of the layout produces the keysym.
    bool Has(xkb_keysym_t keysym) const { return m_keysyms.count(keysym) != 0; }

private:
    std::unordered_set<xkb_keysym_t> m_keysyms;
};

}  // namespace quenby
