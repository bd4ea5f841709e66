#include "linux/wayland/WaylandLayout.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>

namespace quenby {
namespace {

constexpr std::array<EKeyModifier, 3> kLevelModifiers{KEY_MODIFIER_SHIFT, KEY_MODIFIER_LEVEL3,
                                                      KEY_MODIFIER_LEVEL5};

std::size_t ModifierIndex(EKeyModifier modifier) {
    return modifier == KEY_MODIFIER_SHIFT ? 0 : modifier == KEY_MODIFIER_LEVEL3 ? 1 : 2;
}

}  // namespace

CWaylandLayout::CWaylandLayout(xkb_keymap* keymap) : m_keymap(xkb_keymap_ref(keymap)) {
    FindModifierKeys();
    m_composed = CComposedKeys(m_modifierKeys);
    MapCharacters();
}

CWaylandLayout::~CWaylandLayout() {
    xkb_keymap_unref(m_keymap);
}

void CWaylandLayout::FindModifierKeys() {
    const xkb_keysym_t wanted[3][2] = {{XKB_KEY_Shift_L, XKB_KEY_Shift_R},
                                       {XKB_KEY_ISO_Level3_Shift, XKB_KEY_Mode_switch},
                                       {XKB_KEY_ISO_Level5_Shift, XKB_KEY_ISO_Level5_Shift}};
    for (xkb_keycode_t key = xkb_keymap_min_keycode(m_keymap);
         key <= xkb_keymap_max_keycode(m_keymap); ++key) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(m_keymap, key, 0, 0, &syms) != 1) {
            continue;
        }
        for (std::size_t i = 0; i < 3; ++i) {
            // The lowest keycode with the preferred symbol wins over any alternative.
            if (syms[0] == wanted[i][0] && (m_modifierKeys[i] == 0 || key < m_modifierKeys[i])) {
                m_modifierKeys[i] = key;
            } else if (syms[0] == wanted[i][1] && m_modifierKeys[i] == 0) {
                m_modifierKeys[i] = key;
            }
        }
    }
}

void CWaylandLayout::MapCharacters() {
    // Fewer modifiers first, so the plainest way to type a character wins.
    for (std::uint8_t combination = 0; combination < 8; ++combination) {
        const std::uint8_t wanted =
            static_cast<std::uint8_t>(((combination & 1) != 0 ? KEY_MODIFIER_SHIFT : 0) |
                                      ((combination & 2) != 0 ? KEY_MODIFIER_LEVEL3 : 0) |
                                      ((combination & 4) != 0 ? KEY_MODIFIER_LEVEL5 : 0));
        xkb_state* state = xkb_state_new(m_keymap);
        bool available = true;
        for (EKeyModifier modifier : kLevelModifiers) {
            if ((wanted & modifier) == 0) {
                continue;
            }
            const xkb_keycode_t key = m_modifierKeys[ModifierIndex(modifier)];
            available = available && key != 0;
            if (key != 0) {
                xkb_state_update_key(state, key, XKB_KEY_DOWN);
            }
        }
        // Keys past 255 are left out: X clients behind XWayland cannot receive them (a keymap may
        // put a character such as the euro sign on one of those as well as on a plain key).
        const xkb_keycode_t last = std::min<xkb_keycode_t>(255, xkb_keymap_max_keycode(m_keymap));
        for (xkb_keycode_t key = xkb_keymap_min_keycode(m_keymap); available && key <= last;
             ++key) {
            const std::uint32_t codePoint = xkb_state_key_get_utf32(state, key);
            const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state, key);
            if (keysym != XKB_KEY_NoSymbol) {
                m_composed.AddStroke(keysym, KeyForCharacter{key, wanted});
            }
            // The layout method types UTF-16 code units: characters beyond them have no key.
            if (codePoint != 0 && codePoint < 0x10000 &&
                (codePoint < 0xD800 || codePoint > 0xDFFF)) {
                m_characters.emplace(static_cast<char16_t>(codePoint),
                                     KeyForCharacter{key, wanted});
            }
        }
        xkb_state_unref(state);
    }
    // A line break takes Return, as carriage return does, also where the keymap has a Linefeed
    // key: terminals send that key as a bare line feed, and Chromium has no key for it at all.
    if (auto ret = m_characters.find(u'\r'); ret != m_characters.end()) {
        m_characters[u'\n'] = ret->second;
    }
}

std::optional<KeyForCharacter> CWaylandLayout::FindKey(char16_t unit) {
    const auto it = m_characters.find(unit);
    if (it != m_characters.end()) {
        return it->second;
    }
    // Half a surrogate pair is no character: no key types it.
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        return std::nullopt;
    }
    return m_composed.Find(unit);
}

KeyCode CWaylandLayout::ModifierKey(EKeyModifier modifier) {
    return m_modifierKeys[ModifierIndex(modifier)];
}

}  // namespace quenby
