#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <set>

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
    const std::u32string characters = U"aA\u00e9\u00c9\u0436\u0416\u03a9\u4e2d\U0001F600~^`";
    std::vector<xkb_keysym_t> keysyms;
    for (char32_t c : characters) {
        keysyms.push_back(CVirtualKeymap::KeysymFor(c));
    }
    const CVirtualKeymap keymap(keysyms);
    Compiled compiled(keymap.Text());
    ASSERT_NE(compiled.keymap, nullptr) << keymap.Text();
    // Capitals stay capitals and small letters small, also with Shift held or Caps Lock on.
    for (const bool shifted : {false, true}) {
        xkb_state* state = xkb_state_new(compiled.keymap);
        const xkb_mod_index_t shift = xkb_keymap_mod_get_index(compiled.keymap, XKB_MOD_NAME_SHIFT);
        const xkb_mod_index_t lock = xkb_keymap_mod_get_index(compiled.keymap, XKB_MOD_NAME_CAPS);
        if (shifted && shift != XKB_MOD_INVALID && lock != XKB_MOD_INVALID) {
            xkb_state_update_mask(state, 1u << shift, 0, 1u << lock, 0, 0, 0);
        }
        for (std::size_t i = 0; i < characters.size(); ++i) {
            const xkb_keycode_t key = keymap.KeyFor(keysyms[i]);
            ASSERT_GT(key, 8u);
            ASSERT_LE(key, 255u);
            EXPECT_EQ(xkb_state_key_get_utf32(state, key), characters[i]) << i << " " << shifted;
        }
        xkb_state_unref(state);
    }
}

TEST(VirtualKeymapTest, ControlCharactersAreTheirKeys) {
    const struct {
        char32_t character;
        xkb_keysym_t keysym;
    } cases[] = {
        {U'\t', XKB_KEY_Tab},       {U'\r', XKB_KEY_Return},  {U'\n', XKB_KEY_Return},
        {U'\b', XKB_KEY_BackSpace}, {0x1B, XKB_KEY_Escape},   {0x7F, XKB_KEY_Delete},
        {0x01, XKB_KEY_NoSymbol},   {0x85, XKB_KEY_NoSymbol}, {0xD800, XKB_KEY_NoSymbol},
        {U'a', XKB_KEY_a},
    };
    const CVirtualKeymap keymap({});
    for (const auto& c : cases) {
        EXPECT_EQ(CVirtualKeymap::KeysymFor(c.character), c.keysym)
            << std::hex << static_cast<std::uint32_t>(c.character);
        if (c.keysym != XKB_KEY_NoSymbol && c.keysym != XKB_KEY_a) {
            EXPECT_TRUE(keymap.Has(c.keysym))
                << std::hex << static_cast<std::uint32_t>(c.character);
        }
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
        EXPECT_LE(xkb_keymap_max_keycode(compiled.keymap), 255u);
        for (xkb_keysym_t keysym : chunks[i]) {
            EXPECT_TRUE(keymap.Has(keysym));
        }
    }
    EXPECT_EQ(chunks[1].front(), CVirtualKeymap::KeysymFor(0x4E00 + 200));
    EXPECT_TRUE(CVirtualKeymap::IsOurs(CVirtualKeymap(chunks[0]).Text()));
    EXPECT_FALSE(CVirtualKeymap::IsOurs("xkb_keymap { xkb_keycodes \"evdev+aliases(qwerty)\""));
}

}  // namespace
}  // namespace quenby
