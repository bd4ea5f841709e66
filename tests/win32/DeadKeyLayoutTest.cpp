// The search for characters behind dead keys, against a small layout of the test's own: Wine's
// layouts report no dead keys, so this is where the sequences can be checked.
#include <gtest/gtest.h>

#include "win32/ForegroundLayout.h"
#include "win32/KeySequences.h"

namespace quenby {
namespace {

// A layout with e/E, Space, and a dead circumflex whose shifted level is a plain degree sign.
constexpr WORD kDeadKey = VK_OEM_5;
constexpr UINT kScanE = 0x12, kScanSpace = 0x39, kScanDead = 0x29, kScanShift = 0x2a;
wchar_t g_pendingDeadKey = 0;  // the dead key the fake keyboard state holds

UINT FakeMapVirtualKey(UINT virtualKey, UINT, HKL) {
    for (const auto& [key, scan] : {std::pair<UINT, UINT>{'E', kScanE},
                                    {VK_SPACE, kScanSpace},
                                    {kDeadKey, kScanDead},
                                    {VK_LSHIFT, kScanShift},
                                    {VK_LCONTROL, 0x1d},
                                    {VK_LMENU, 0x38}}) {
        if (key == virtualKey) {
            return scan;
        }
    }
    return 0;
}

// As Windows does, "^" names the dead key, which types nothing by itself.
SHORT FakeVkKeyScan(WCHAR character, HKL) {
    for (const auto& [typed, key] : {std::pair<WCHAR, SHORT>{L'e', 'E'},
                                     {L'E', 0x100 | 'E'},
                                     {L' ', VK_SPACE},
                                     {L'^', kDeadKey},
                                     {0xb0, 0x100 | kDeadKey}}) {
        if (typed == character) {
            return key;
        }
    }
    return -1;
}

int FakeToUnicode(UINT virtualKey, UINT, const BYTE* state, LPWSTR out, int, UINT flags, HKL) {
    const bool shift = (state[VK_SHIFT] & 0x80) != 0;
    if ((state[VK_CONTROL] & 0x80) != 0 || (state[VK_MENU] & 0x80) != 0) {
        return 0;
    }
    if (virtualKey == kDeadKey && !shift) {
        out[0] = L'^';
        if ((flags & 4) == 0) {
            g_pendingDeadKey = L'^';
        }
        return -1;
    }
    wchar_t character = 0;
    if (virtualKey == 'E') {
        character = shift ? L'E' : L'e';
    } else if (virtualKey == VK_SPACE) {
        character = L' ';
    } else if (virtualKey == kDeadKey) {
        character = 0xb0;
    } else {
        return 0;
    }
    if (g_pendingDeadKey == 0) {
        out[0] = character;
        return 1;
    }
    g_pendingDeadKey = 0;
    if (character == L' ' || character == L'e' || character == L'E') {
        out[0] = character == L' ' ? L'^' : (character == L'e' ? 0xea : 0xca);
        return 1;
    }
    out[0] = L'^';
    out[1] = character;
    return 2;
}

constexpr LayoutTableCalls kFakeTables{&FakeVkKeyScan, &FakeMapVirtualKey, &FakeToUnicode};

KeyStroke Stroke(WORD virtualKey, UINT scan, std::vector<KeyCode> held = {}) {
    return KeyStroke{MakeKeyCode(virtualKey, static_cast<WORD>(scan)), std::move(held)};
}

TEST(Win32DeadKeys, CharactersBehindDeadKeysAreTypedAsTheDeadKeyAndTheNextKey) {
    g_pendingDeadKey = 0;
    auto sequences = std::make_shared<CKeySequences>();
    CForegroundLayout layout(reinterpret_cast<HKL>(1), sequences, kFakeTables);
    const KeyCode shift = MakeKeyCode(VK_LSHIFT, kScanShift);
    const KeyStroke dead = Stroke(kDeadKey, kScanDead);
    const struct {
        const char* what;
        char16_t unit;
        std::vector<KeyStroke> strokes;
    } cases[] = {
        {"the accent on its own: dead key, Space", u'^', {dead, Stroke(VK_SPACE, kScanSpace)}},
        {"composed: dead key, letter", u'\u00ea', {dead, Stroke('E', kScanE)}},
        {"composed with a capital: Shift held for the letter only",
         u'\u00ca',
         {dead, Stroke('E', kScanE, {shift})}},
    };
    for (const auto& c : cases) {
        const std::optional<KeyForCharacter> key = layout.FindKey(c.unit);
        ASSERT_TRUE(key) << c.what;
        EXPECT_EQ(key->m_modifiers, 0) << c.what;
        const std::vector<KeyStroke> strokes = sequences->Find(key->m_key);
        ASSERT_EQ(strokes.size(), c.strokes.size()) << c.what;
        for (std::size_t i = 0; i < strokes.size(); ++i) {
            EXPECT_EQ(strokes[i].m_key, c.strokes[i].m_key) << c.what << ", stroke " << i;
            EXPECT_EQ(strokes[i].m_held, c.strokes[i].m_held) << c.what << ", stroke " << i;
        }
    }
    // Plain keys stay plain, on the dead key's other level too; what nothing gives is absent.
    const std::optional<KeyForCharacter> degree = layout.FindKey(0xb0);
    ASSERT_TRUE(degree);
    EXPECT_EQ(degree->m_key, MakeKeyCode(kDeadKey, kScanDead));
    EXPECT_EQ(degree->m_modifiers, KEY_MODIFIER_SHIFT);
    EXPECT_FALSE(layout.FindKey(u'x'));
    // The search left no dead key pending to spoil the next real key.
    EXPECT_EQ(g_pendingDeadKey, 0);
}

}  // namespace
}  // namespace quenby
