#include "linux/x11/X11Layout.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <unordered_set>

namespace quenby {
namespace {

// The modifiers a character's level may need on X, in the order their combinations are tried:
// fewer modifiers first, so the plainest way to type a character wins.
constexpr std::array<EKeyModifier, 3> kLevelModifiers{KEY_MODIFIER_SHIFT, KEY_MODIFIER_LEVEL3,
                                                      KEY_MODIFIER_LEVEL5};
constexpr std::array<std::uint8_t, 8> kCombinations{
    0,
    KEY_MODIFIER_SHIFT,
    KEY_MODIFIER_LEVEL3,
    KEY_MODIFIER_SHIFT | KEY_MODIFIER_LEVEL3,
    KEY_MODIFIER_LEVEL5,
    KEY_MODIFIER_SHIFT | KEY_MODIFIER_LEVEL5,
    KEY_MODIFIER_LEVEL3 | KEY_MODIFIER_LEVEL5,
    KEY_MODIFIER_SHIFT | KEY_MODIFIER_LEVEL3 | KEY_MODIFIER_LEVEL5,
};

std::size_t ModifierIndex(EKeyModifier modifier) {
    switch (modifier) {
        case KEY_MODIFIER_SHIFT:
            return 0;
        case KEY_MODIFIER_LEVEL3:
            return 1;
        default:
            return 2;
    }
}

}  // namespace

CX11Layout::CX11Layout(std::unique_ptr<CXkbSnapshot> snapshot) : m_snapshot(std::move(snapshot)) {
    FindModifierKeys();
    m_composed = CComposedKeys(m_modifierKeys);
    MapCharacters();
}

void CX11Layout::FindModifierKeys() {
    xkb_keymap* keymap = m_snapshot->Keymap();
    const xkb_layout_index_t layout =
        xkb_state_serialize_layout(m_snapshot->State(), XKB_STATE_LAYOUT_EFFECTIVE);
    const struct {
        std::size_t index;
        xkb_keysym_t preferred;
        xkb_keysym_t alternative;
    } wanted[] = {
        {0, XKB_KEY_Shift_L, XKB_KEY_Shift_R},
        {1, XKB_KEY_ISO_Level3_Shift, XKB_KEY_Mode_switch},
        {2, XKB_KEY_ISO_Level5_Shift, XKB_KEY_ISO_Level5_Shift},
    };
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= xkb_keymap_max_keycode(keymap);
         ++key) {
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, key, layout, 0, &syms) != 1) {
            continue;
        }
        for (const auto& w : wanted) {
            xkb_keycode_t& slot = m_modifierKeys[w.index];
            if (syms[0] == w.preferred && (slot == 0 || key < slot)) {
                slot = key;
            } else if (syms[0] == w.alternative && slot == 0) {
                slot = key;
            }
        }
    }
}

void CX11Layout::MapCharacters() {
    xkb_keymap* keymap = m_snapshot->Keymap();
    xkb_state* now = m_snapshot->State();
    const xkb_mod_mask_t locked = xkb_state_serialize_mods(now, XKB_STATE_MODS_LOCKED);
    const xkb_layout_index_t layout = xkb_state_serialize_layout(now, XKB_STATE_LAYOUT_EFFECTIVE);
    std::unordered_set<xkb_keysym_t> seen;
    for (std::uint8_t combination : kCombinations) {
        bool available = true;
        for (EKeyModifier modifier : kLevelModifiers) {
            available = available && ((combination & modifier) == 0 ||
                                      m_modifierKeys[ModifierIndex(modifier)] != 0);
        }
        if (!available) {
            continue;
        }
        // A fresh state with today's locks and group, and the combination's keys held.
        xkb_state* state = xkb_state_new(keymap);
        xkb_state_update_mask(state, 0, 0, locked, 0, 0, layout);
        for (EKeyModifier modifier : kLevelModifiers) {
            if ((combination & modifier) != 0) {
                xkb_state_update_key(state, m_modifierKeys[ModifierIndex(modifier)], XKB_KEY_DOWN);
            }
        }
        for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap);
             key <= xkb_keymap_max_keycode(keymap); ++key) {
            const char32_t codePoint = xkb_state_key_get_utf32(state, key);
            if (codePoint != 0 && !m_characters.count(codePoint)) {
                m_characters.emplace(codePoint, KeyForCharacter{key, combination});
            }
            const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state, key);
            if (keysym != XKB_KEY_NoSymbol && seen.insert(keysym).second) {
                m_composed.AddStroke(keysym, KeyForCharacter{key, combination});
            }
        }
        xkb_state_unref(state);
    }
    // Line feed has no key of its own: it takes Return, as carriage return does.
    if (auto ret = m_characters.find(U'\r'); ret != m_characters.end()) {
        m_characters.emplace(U'\n', ret->second);
    }
}

std::optional<KeyForCharacter> CX11Layout::FindCodePoint(char32_t codePoint) const {
    const auto it = m_characters.find(codePoint);
    if (it == m_characters.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<KeyForCharacter> CX11Layout::FindKey(char16_t unit) {
    // Half a surrogate pair is no character: no key types it.
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        return std::nullopt;
    }
    if (std::optional<KeyForCharacter> key = FindCodePoint(unit)) {
        return key;
    }
    return m_composed.Find(unit);
}

KeyCode CX11Layout::ModifierKey(EKeyModifier modifier) {
    return m_modifierKeys[ModifierIndex(modifier)];
}

}  // namespace quenby
