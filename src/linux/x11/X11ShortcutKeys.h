#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <cstdint>
#include <memory>

#include "linux/x11/XcbConnection.h"
#include "platform/ShortcutKeys.h"

namespace quenby {

// The key carrying `keysym` at the lowest level found in any group (F5 is F5 whatever else its key
// can do); 0 when no key does.
xkb_keycode_t KeycodeForKeysym(xkb_keymap* keymap, xkb_keysym_t keysym);

// Which physical key a shortcut's virtual-key code stands for under an X keymap, both ways, so
// that the key a shortcut is captured on is the key it is grabbed on.
// Keys that do not print (F5, Home, the keypad) go by the keysym they carry in every layout.
// A key that types a Latin letter or, at its first two levels, a digit is that letter or digit.
// Any other printing key (punctuation, the letters of a non-Latin layout) is named by the key at
// the same place on a US keyboard; when the letter of that place is typed by another key (French
// M sits where US has the semicolon), it takes the code of that other key's place instead, which
// the letter no longer uses, so no two keys of a group share a code.
class CShortcutKeyMap {
public:
    // Compiles the US keymap the places are read from; without keymap data only the server's
    // keymap is used, and non-Latin letters and punctuation then have no code.
    explicit CShortcutKeyMap(xkb_context* context);
    ~CShortcutKeyMap();
    CShortcutKeyMap(const CShortcutKeyMap&) = delete;
    CShortcutKeyMap& operator=(const CShortcutKeyMap&) = delete;

    // The virtual-key code of `key` in the state's active group, with its locks (Num Lock);
    // 0 when the key cannot be a shortcut key.
    std::uint16_t VirtualKeyForKeycode(xkb_state* state, xkb_keycode_t key) const;
    // The key that carries `virtualKey` in the state's active group, else in another group, else
    // at its US place; 0 when no key does.
    xkb_keycode_t KeycodeForVirtualKey(xkb_state* state, std::uint16_t virtualKey) const;

private:
    // Virtual-key code by keycode, for every key of one group.
    using GroupCodes = std::array<std::uint16_t, 256>;
    GroupCodes MapGroup(xkb_keymap* keymap, xkb_layout_index_t group, xkb_mod_mask_t locked) const;
    // The printing virtual key at the same place on a US keyboard; 0 when none.
    std::uint16_t UsPlaceOf(xkb_keycode_t key) const;

    xkb_keymap* m_usKeymap = nullptr;
};

// The capture field's view of the X server's keyboard: its own connection, opened on first use
// and again after the server went away, and the keymap as it is at each key press.
class CX11ShortcutKeys final : public IShortcutKeys {
public:
    CX11ShortcutKeys();
    ~CX11ShortcutKeys() override;

    std::uint16_t VirtualKeyOfNativeKey(std::uint32_t nativeKey) override;

private:
    std::unique_ptr<CXcbConnection> m_connection;
    std::unique_ptr<CShortcutKeyMap> m_map;
};

}  // namespace quenby
