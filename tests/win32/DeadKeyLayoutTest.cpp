// The search for characters behind dead keys, and the key events each is typed with, against a
// small layout of the test's own: Wine's layouts report no dead keys and Wine types nothing for
// them, so this is where the sequences can be checked.
#include <gtest/gtest.h>

#include <string>

#include "win32/ForegroundLayout.h"
#include "win32/KeySequences.h"

namespace quenby {
namespace {

// A German-like layout: e/E, Space, "^" dead with a plain degree sign above it, the acute accent
// dead with the grave accent dead above it (Shift), and "+" with a dead tilde on AltGr.
struct FakeKey {
    UINT m_virtualKey;
    UINT m_scan;
    const char* m_name;
};
constexpr FakeKey kKeys[] = {{'E', 0x12, "E"},
                             {VK_SPACE, 0x39, "Space"},
                             {VK_OEM_5, 0x29, "Circumflex"},
                             {VK_OEM_6, 0x0d, "Acute"},
                             {VK_OEM_PLUS, 0x1b, "Plus"},
                             {VK_LSHIFT, 0x2a, "Shift"},
                             {VK_LCONTROL, 0x1d, "Ctrl"},
                             {VK_LMENU, 0x38, "Alt"}};
// Levels: 0 plain, 1 Shift, 2 AltGr (Ctrl+Alt).
struct FakeLevel {
    UINT m_virtualKey;
    int m_level;
    wchar_t m_character;
    bool m_bDead;
};
constexpr FakeLevel kLevels[] = {
    {'E', 0, L'e', false},     {'E', 1, L'E', false},         {VK_SPACE, 0, L' ', false},
    {VK_OEM_5, 0, L'^', true}, {VK_OEM_5, 1, 0xb0, false},    {VK_OEM_6, 0, 0xb4, true},
    {VK_OEM_6, 1, L'`', true}, {VK_OEM_PLUS, 0, L'+', false}, {VK_OEM_PLUS, 2, L'~', true}};
// What each accent gives with Space, e and E.
constexpr wchar_t kComposed[][4] = {{L'^', L'^', 0xea, 0xca},
                                    {0xb4, 0xb4, 0xe9, 0xc9},
                                    {L'`', L'`', 0xe8, 0xc8},
                                    {L'~', L'~', 0x1ebd, 0x1ebc}};
wchar_t g_pendingDeadKey = 0;  // the dead key the fake keyboard state holds

UINT FakeMapVirtualKey(UINT virtualKey, UINT, HKL) {
    for (const FakeKey& key : kKeys) {
        if (key.m_virtualKey == virtualKey) {
            return key.m_scan;
        }
    }
    return 0;
}

// As Windows does, an accent names its dead key, which types nothing by itself.
SHORT FakeVkKeyScan(WCHAR character, HKL) {
    for (const FakeLevel& level : kLevels) {
        if (level.m_character == character) {
            constexpr SHORT kShiftStates[] = {0, 0x100, 0x600};
            return static_cast<SHORT>(kShiftStates[level.m_level] | level.m_virtualKey);
        }
    }
    return -1;
}

int FakeToUnicode(UINT virtualKey, UINT, const BYTE* state, LPWSTR out, int, UINT flags, HKL) {
    const bool control = (state[VK_CONTROL] & 0x80) != 0;
    if (control != ((state[VK_MENU] & 0x80) != 0)) {
        return 0;
    }
    const int wanted = ((state[VK_SHIFT] & 0x80) != 0 ? 1 : 0) + (control ? 2 : 0);
    const FakeLevel* found = nullptr;
    for (const FakeLevel& level : kLevels) {
        if (level.m_virtualKey == virtualKey && level.m_level == wanted) {
            found = &level;
        }
    }
    if (found == nullptr) {
        return 0;
    }
    const wchar_t pending = g_pendingDeadKey;
    out[0] = found->m_character;
    if (pending == 0 && found->m_bDead) {
        if ((flags & 4) == 0) {
            g_pendingDeadKey = found->m_character;
        }
        return -1;
    }
    if (pending == 0) {
        return 1;
    }
    g_pendingDeadKey = 0;
    for (const auto& row : kComposed) {
        for (int i = 1; row[0] == pending && i < 4; ++i) {
            if (found->m_character == L" eE"[i - 1]) {
                out[0] = row[i];
                return 1;
            }
        }
    }
    out[0] = pending;
    out[1] = found->m_character;
    return 2;
}

constexpr LayoutTableCalls kFakeTables{&FakeVkKeyScan, &FakeMapVirtualKey, &FakeToUnicode};

// The events as "+Shift +E -E -Shift": + for down, - for up.
std::string Describe(const std::vector<KeyEvent>& events) {
    std::string described;
    for (const KeyEvent& event : events) {
        std::string name = "?";
        for (const FakeKey& key : kKeys) {
            if (MakeKeyCode(static_cast<WORD>(key.m_virtualKey), static_cast<WORD>(key.m_scan)) ==
                event.m_key) {
                name = key.m_name;
            }
        }
        described += (described.empty() ? "" : " ") + std::string(event.m_bDown ? "+" : "-") + name;
    }
    return described;
}

TEST(Win32DeadKeys, CharactersBehindDeadKeysAreTypedAsTheDeadKeyThenTheNextWithTheirOwnModifiers) {
    g_pendingDeadKey = 0;
    auto sequences = std::make_shared<CKeySequences>();
    CForegroundLayout layout(reinterpret_cast<HKL>(1), sequences, kFakeTables);
    // Each modifier is held for its own key only: the dead key's Shift or AltGr is let go before
    // the letter, and the letter's Shift pressed after the dead key.
    const struct {
        char16_t unit;
        const char* events;
    } cases[] = {
        {u'^', "+Circumflex -Circumflex +Space -Space"},
        {u'\u00ea', "+Circumflex -Circumflex +E -E"},
        {u'\u00ca', "+Circumflex -Circumflex +Shift +E -E -Shift"},
        {u'\u00b4', "+Acute -Acute +Space -Space"},
        {u'\u00e9', "+Acute -Acute +E -E"},
        {u'`', "+Shift +Acute -Acute -Shift +Space -Space"},
        {u'\u00e8', "+Shift +Acute -Acute -Shift +E -E"},
        {u'\u00c8', "+Shift +Acute -Acute -Shift +Shift +E -E -Shift"},
        {u'~', "+Ctrl +Alt +Plus -Plus -Alt -Ctrl +Space -Space"},
        {u'\u1ebc', "+Ctrl +Alt +Plus -Plus -Alt -Ctrl +Shift +E -E -Shift"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << int(c.unit));
        const std::optional<KeyForCharacter> key = layout.FindKey(c.unit);
        ASSERT_TRUE(key);
        EXPECT_TRUE(CKeySequences::IsSequence(key->m_key));
        EXPECT_EQ(key->m_modifiers, 0);
        EXPECT_EQ(Describe(sequences->Events(key->m_key)), c.events);
    }
    // Plain keys stay plain, on a dead key's other level too; what nothing gives is absent.
    const std::optional<KeyForCharacter> degree = layout.FindKey(0xb0);
    ASSERT_TRUE(degree);
    EXPECT_EQ(degree->m_key, MakeKeyCode(VK_OEM_5, 0x29));
    EXPECT_EQ(degree->m_modifiers, KEY_MODIFIER_SHIFT);
    EXPECT_FALSE(layout.FindKey(u'x'));
    // The search left no dead key pending to spoil the next real key.
    EXPECT_EQ(g_pendingDeadKey, 0);
}

}  // namespace
}  // namespace quenby
