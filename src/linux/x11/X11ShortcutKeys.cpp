#include "linux/x11/X11ShortcutKeys.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>

#include "linux/x11/VirtualKeys.h"

namespace quenby {
namespace {

// X keycodes are bytes: a key past 255 can be neither grabbed nor reported by the core protocol.
constexpr xkb_keycode_t kLastKeycode = 255;

xkb_keycode_t LastKey(xkb_keymap* keymap) {
    return std::min(xkb_keymap_max_keycode(keymap), kLastKeycode);
}

xkb_keysym_t SymAt(xkb_keymap* keymap, xkb_keycode_t key, xkb_layout_index_t group,
                   xkb_level_index_t level) {
    const xkb_keysym_t* syms = nullptr;
    if (level < xkb_keymap_num_levels_for_key(keymap, key, group) &&
        xkb_keymap_key_get_syms_by_level(keymap, key, group, level, &syms) == 1) {
        return syms[0];
    }
    return XKB_KEY_NoSymbol;
}

std::uint16_t LetterOrDigit(xkb_keymap* keymap, xkb_keycode_t key, xkb_layout_index_t group) {
    const xkb_keysym_t first = xkb_keysym_to_lower(SymAt(keymap, key, group, 0));
    if (first >= XKB_KEY_a && first <= XKB_KEY_z) {
        return static_cast<std::uint16_t>('A' + (first - XKB_KEY_a));
    }
    // The top row of a French keyboard types its digits with Shift.
    for (xkb_level_index_t level = 0; level < 2; ++level) {
        const xkb_keysym_t sym = SymAt(keymap, key, group, level);
        if (sym >= XKB_KEY_0 && sym <= XKB_KEY_9) {
            return static_cast<std::uint16_t>('0' + (sym - XKB_KEY_0));
        }
    }
    return 0;
}

}  // namespace

xkb_keycode_t KeycodeForKeysym(xkb_keymap* keymap, xkb_keysym_t keysym) {
    const xkb_layout_index_t groups = xkb_keymap_num_layouts(keymap);
    for (xkb_level_index_t level = 0; level < 4; ++level) {
        for (xkb_layout_index_t group = 0; group < groups; ++group) {
            for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= LastKey(keymap);
                 ++key) {
                if (group < xkb_keymap_num_layouts_for_key(keymap, key) &&
                    SymAt(keymap, key, group, level) == keysym) {
                    return key;
                }
            }
        }
    }
    return 0;
}

CShortcutKeyMap::CShortcutKeyMap(xkb_context* context) {
    const xkb_rule_names us{"evdev", "pc105", "us", "", ""};
    m_usKeymap = xkb_keymap_new_from_names(context, &us, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

CShortcutKeyMap::~CShortcutKeyMap() {
    if (m_usKeymap != nullptr) {
        xkb_keymap_unref(m_usKeymap);
    }
}

std::uint16_t CShortcutKeyMap::UsPlaceOf(xkb_keycode_t key) const {
    if (m_usKeymap == nullptr || key > LastKey(m_usKeymap)) {
        return 0;
    }
    const std::optional<std::uint16_t> code = VirtualKeyForKeysym(SymAt(m_usKeymap, key, 0, 0));
    return code && IsPrintingVirtualKey(*code) ? *code : 0;
}

CShortcutKeyMap::GroupCodes CShortcutKeyMap::MapGroup(xkb_keymap* keymap, xkb_layout_index_t group,
                                                      xkb_mod_mask_t locked) const {
    GroupCodes codes{};
    std::array<xkb_keycode_t, 256> typedBy{};  // by virtual key: the key typing that letter
    std::array<bool, 256> printing{};          // by keycode: left for the second pass
    // The keysym a key sends with the locks as they are, for the keypad: Home or 7 by Num Lock.
    xkb_state* state = xkb_state_new(keymap);
    if (state == nullptr) {
        return codes;
    }
    xkb_state_update_mask(state, 0, 0, locked, 0, 0, group);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= LastKey(keymap); ++key) {
        if (const std::uint16_t code = LetterOrDigit(keymap, key, group); code != 0) {
            codes[key] = code;
            if (typedBy[code] == 0) {
                typedBy[code] = key;
            }
            continue;
        }
        const std::optional<std::uint16_t> named =
            VirtualKeyForKeysym(xkb_state_key_get_one_sym(state, key));
        if (named && !IsPrintingVirtualKey(*named)) {
            codes[key] = *named;
        } else {
            printing[key] = true;
        }
    }
    xkb_state_unref(state);

    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= LastKey(keymap); ++key) {
        if (!printing[key]) {
            continue;
        }
        // A letter or digit of this group owns its code: take the code of the place it went to.
        std::uint16_t code = UsPlaceOf(key);
        for (int step = 0; code != 0 && typedBy[code] != 0 && step < 256; ++step) {
            code = UsPlaceOf(typedBy[code]);
        }
        if (code != 0 && typedBy[code] == 0) {
            codes[key] = code;
        }
    }
    return codes;
}

std::uint16_t CShortcutKeyMap::VirtualKeyForKeycode(xkb_state* state, xkb_keycode_t key) const {
    if (key > kLastKeycode) {
        return 0;
    }
    return MapGroup(xkb_state_get_keymap(state),
                    xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE),
                    xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED))[key];
}

xkb_keycode_t CShortcutKeyMap::KeycodeForVirtualKey(xkb_state* state,
                                                    std::uint16_t virtualKey) const {
    xkb_keymap* keymap = xkb_state_get_keymap(state);
    if (!IsPrintingVirtualKey(virtualKey)) {
        const std::optional<std::uint32_t> keysym = KeysymForVirtualKey(virtualKey);
        return keysym ? KeycodeForKeysym(keymap, *keysym) : 0;
    }
    const xkb_layout_index_t active = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
    const xkb_mod_mask_t locked = xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED);
    const xkb_layout_index_t groups = xkb_keymap_num_layouts(keymap);
    for (xkb_layout_index_t i = 0; i <= groups; ++i) {
        // The active group first, then every group in order.
        const xkb_layout_index_t group = i == 0 ? active : i - 1;
        if (i > 0 && group == active) {
            continue;
        }
        const GroupCodes codes = MapGroup(keymap, group, locked);
        const auto found = std::find(codes.begin(), codes.end(), virtualKey);
        if (found != codes.end()) {
            return static_cast<xkb_keycode_t>(found - codes.begin());
        }
    }
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= LastKey(keymap); ++key) {
        if (UsPlaceOf(key) == virtualKey) {
            return key;
        }
    }
    return 0;
}

CX11ShortcutKeys::CX11ShortcutKeys() = default;
CX11ShortcutKeys::~CX11ShortcutKeys() = default;

std::uint16_t CX11ShortcutKeys::VirtualKeyOfNativeKey(std::uint32_t nativeKey) {
    if (m_connection == nullptr || !m_connection->Alive()) {
        m_map.reset();
        Expected<std::unique_ptr<CXcbConnection>> connection = CXcbConnection::Open();
        if (!connection.ok()) {
            m_connection.reset();
            return 0;
        }
        m_connection = std::move(connection).value();
        m_map = std::make_unique<CShortcutKeyMap>(m_connection->XkbContext());
    }
    // Read at every press: the user may have switched the layout since the last one.
    Expected<std::unique_ptr<CXkbSnapshot>> snapshot = CXkbSnapshot::Take(*m_connection);
    if (!snapshot.ok()) {
        return 0;
    }
    return m_map->VirtualKeyForKeycode(snapshot.value()->State(), nativeKey);
}

}  // namespace quenby
