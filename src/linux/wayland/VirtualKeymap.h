#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quenby {

// A keymap of our own for the virtual keyboard: one key per keysym, each with one level, so every
// character comes out as it is (an upper-case letter stays upper-case, Caps Lock plays no part).
// The control keys (Return, Tab, BackSpace, Escape, Delete) are always there, each on its own
// physical key; text goes only on keys that type a character on a real keyboard, never on a
// control, function, modifier or navigation key. Keycodes stay at 255 or below, so X clients
// behind XWayland can read them too.
class CVirtualKeymap {
public:
    // Most keysyms one keymap holds besides the control keys: one for each key of a real keyboard
    // that types a character (a keymap change costs the focused client a compile, so the more the
    // better, but no other key is safe for text).
    static constexpr std::size_t kCapacity = 68;
    // Names this keymap's keycodes, so a keymap that comes back from the compositor can be told
    // apart from the user's.
    static constexpr std::string_view kKeycodesName = "quenby-virtual";

    explicit CVirtualKeymap(const std::vector<xkb_keysym_t>& keysyms);

    // The keymap as XKB text, for upload.
    const std::string& Text() const { return m_strText; }
    // The XKB keycode of a keysym, or 0 when this keymap lacks it.
    xkb_keycode_t KeyFor(xkb_keysym_t keysym) const;
    bool Has(xkb_keysym_t keysym) const { return KeyFor(keysym) != 0; }

    // The keysym that types a code point: its control key for tab, line breaks, backspace,
    // escape and delete; NoSymbol for other control characters and for surrogate halves.
    static xkb_keysym_t KeysymFor(char32_t codePoint);
    // Splits the keysyms of a text, in text order, into runs of at most kCapacity distinct ones.
    // Control keys are left out: every keymap has them.
    static std::vector<std::vector<xkb_keysym_t>> Chunks(const std::vector<xkb_keysym_t>& text);
    // Whether an XKB keymap text is one of ours.
    static bool IsOurs(std::string_view keymapText);

private:
    std::unordered_map<xkb_keysym_t, xkb_keycode_t> m_keys;
    std::string m_strText;
};

}  // namespace quenby
