#include "linux/portal/LayoutKeysyms.h"

namespace quenby {

std::optional<CLayoutKeysyms> CLayoutKeysyms::FromKeymap(const std::string& keymapText) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context == nullptr) {
        return std::nullopt;
    }
    xkb_keymap* keymap = xkb_keymap_new_from_string(
        context, keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    if (keymap == nullptr) {
        return std::nullopt;
    }
    CLayoutKeysyms layout;
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key <= xkb_keymap_max_keycode(keymap);
         ++key) {
        if (xkb_keymap_num_layouts_for_key(keymap, key) == 0) {
            continue;
        }
        for (xkb_level_index_t level = 0; level < xkb_keymap_num_levels_for_key(keymap, key, 0);
             ++level) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, key, 0, level, &syms);
            for (int i = 0; i < count; ++i) {
                layout.m_keysyms.insert(syms[i]);
            }
        }
    }
    xkb_keymap_unref(keymap);
    return layout;
}

}  // namespace quenby
