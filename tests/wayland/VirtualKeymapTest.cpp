#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include "linux/wayland/VirtualKeymap.h"

namespace quenby {
namespace {

// Compiles a keymap as the compositor and every client will.
struct Compiled {
    explicit Compiled(const std::string& text)
        : context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)),
          keymap(xkb_keymap_new_from_string(context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                            XKB_KEYMAP_COMPILE_NO_FLAGS)) {}
    ~Compiled() {
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
    xkb_context* context;
    xkb_keymap* keymap;
};

TEST(VirtualKeymapTest, EveryKeyTypesItsOwnCharacterWhateverTheModifiers) {
    // Control characters come out as their keys, a line feed as Return.
    const std::u32string characters =
        U"aA\u00a0\u00e9\u00c9\u0436\u0416\u03a9\u4e2d\U0001F600~^`\t\r\n\b\x1b\x7f";
    const std::u32string typed =
        U"aA\u00a0\u00e9\u00c9\u0436\u0416\u03a9\u4e2d\U0001F600~^`\t\r\r\b\x1b\x7f";
    std::vector<xkb_keysym_t> keysyms;
    for (char32_t c : characters) {
        keysyms.push_back(CVirtualKeymap::KeysymFor(c));
    }
    const CVirtualKeymap keymap(keysyms);
    Compiled compiled(keymap.Text());
    ASSERT_NE(compiled.keymap, nullptr) << keymap.Text();
    // Capitals stay capitals and small letters small, also with Shift held or Caps Lock on.
    const xkb_mod_index_t shift = xkb_keymap_mod_get_index(compiled.keymap, XKB_MOD_NAME_SHIFT);
    const xkb_mod_index_t lock = xkb_keymap_mod_get_index(compiled.keymap, XKB_MOD_NAME_CAPS);
    ASSERT_NE(shift, XKB_MOD_INVALID);
    ASSERT_NE(lock, XKB_MOD_INVALID);
    for (const bool shifted : {false, true}) {
        xkb_state* state = xkb_state_new(compiled.keymap);
        if (shifted) {
            xkb_state_update_mask(state, 1u << shift, 0, 1u << lock, 0, 0, 0);
        }
        for (std::size_t i = 0; i < characters.size(); ++i) {
            const xkb_keycode_t key = keymap.KeyFor(keysyms[i]);
            ASSERT_GT(key, 8u) << i;
            EXPECT_EQ(xkb_state_key_get_utf32(state, key), typed[i]) << i << " " << shifted;
        }
        xkb_state_unref(state);
    }
    // Other control characters and surrogate halves have no key.
    for (const char32_t none : {0x01, 0x85, 0x9F, 0xD800, 0xDFFF}) {
        EXPECT_EQ(CVirtualKeymap::KeysymFor(none), XKB_KEY_NoSymbol) << static_cast<int>(none);
    }
}

TEST(VirtualKeymapTest, ChunksHoldAtMostTheirCapacityInTextOrder) {
    // 450 distinct CJK characters, then the first of them again (it joins the last chunk, which
    // has room), and control keys throughout (every keymap has them).
    std::vector<xkb_keysym_t> text;
    for (char32_t c = 0x4E00; c < 0x4E00 + 450; ++c) {
        text.push_back(CVirtualKeymap::KeysymFor(c));
        text.push_back(XKB_KEY_Return);
    }
    text.push_back(CVirtualKeymap::KeysymFor(0x4E00));
    const auto chunks = CVirtualKeymap::Chunks(text);
    ASSERT_EQ(chunks.size(), 3u);
    const std::size_t sizes[] = {200, 200, 51};
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].size(), sizes[i]);
        const CVirtualKeymap keymap(chunks[i]);
        Compiled compiled(keymap.Text());
        ASSERT_NE(compiled.keymap, nullptr);
        // X clients behind XWayland read no keycode past 255.
        EXPECT_LE(xkb_keymap_max_keycode(compiled.keymap), 255u);
        for (xkb_keysym_t keysym : chunks[i]) {
            EXPECT_TRUE(keymap.Has(keysym));
        }
        EXPECT_TRUE(keymap.Has(XKB_KEY_Return));
    }
    EXPECT_EQ(chunks[1].front(), CVirtualKeymap::KeysymFor(0x4E00 + 200));
    EXPECT_TRUE(CVirtualKeymap::IsOurs(CVirtualKeymap(chunks[0]).Text()));
    EXPECT_FALSE(CVirtualKeymap::IsOurs("xkb_keymap { xkb_keycodes \"evdev+aliases(qwerty)\""));
}

}  // namespace
}  // namespace quenby
