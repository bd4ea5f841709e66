// Typing into an EDIT control of another process through SendInput, both methods, as the core's
// typer drives them on the typing thread.
#include <gtest/gtest.h>

#include <atomic>

#include "input/TypingJob.h"
#include "support/Win32TestSupport.h"
#include "win32/ForegroundLayout.h"
#include "win32/KeySequences.h"
#include "win32/TextSetterFactory.h"
#include "win32/Win32Services.h"
#include "win32/Win32Typist.h"

namespace quenby {
namespace {

using test::CPeerEdits;

// Types the job through the typist the program uses (its own thread, the report posted back)
// and waits for the report on this thread.
Status TypeThroughTypist(TypingJob job) {
    CSendInputKeyboard keyboard;
    CWin32TextSetterFactory textSetters;
    CWin32Sleeper sleeper;
    std::atomic<bool> runActive{true};
    CWin32Typist typist(KeystrokeServices{keyboard, textSetters, sleeper, runActive});
    const DWORD uiThread = ::GetCurrentThreadId();
    std::optional<Status> result;
    DWORD reportedOn = 0;
    typist.TypeMessage(std::move(job), [&](Status status) {
        reportedOn = ::GetCurrentThreadId();
        result = std::move(status);
    });
    EXPECT_TRUE(test::PumpUntil([&] { return result.has_value(); })) << "no report";
    EXPECT_EQ(reportedOn, uiThread) << "the report must arrive on the UI thread";
    return result.value_or(Status::Fail(u"no report"));
}

TypingJob Job(std::u16string text, std::int32_t method) {
    TypingJob job;
    job.m_strText = std::move(text);
    job.m_iKeyInputMethod = method;
    job.m_uCharDelayMin = 0;
    job.m_uCharDelayMax = 2;
    return job;
}

TEST(Win32Keyboard, UnicodeEventsTypeEveryScriptExactly) {
    std::unique_ptr<CPeerEdits> peer = CPeerEdits::Open();
    ASSERT_TRUE(peer);
    // Latin with accents, Greek, Cyrillic, Hebrew, Arabic, Devanagari, Thai, CJK, Hangul, and
    // characters beyond the BMP (two code units each): emoji, a flag, a CJK extension B ideograph.
    const std::u16string text =
        u"Quenby \u00e9\u00df\u00c5 \u03a9\u03bb \u0416\u044b \u05e9\u05dc\u05d5\u05dd "
        u"\u0645\u0631\u062d\u0628\u0627 \u0928\u092e\u0938\u094d\u0924\u0947 \u0e2a\u0e27 "
        u"\u6f22\u5b57 \ud55c\uae00 \U0001F600\U0001F1E9\U0001F1EA \U00020BB7 ~!@#";
    ASSERT_TRUE(TypeThroughTypist(Job(text, 0)).ok());
    std::wstring typed;
    EXPECT_TRUE(peer->WaitForEditableText(std::wstring(text.begin(), text.end()), typed))
        << testing::PrintToString(typed);
}

TEST(Win32Keyboard, TheLayoutMethodTypesWhatTheUsLayoutHasAndSkipsTheRest) {
    std::unique_ptr<CPeerEdits> peer = CPeerEdits::Open();
    ASSERT_TRUE(peer);
    std::unique_ptr<CForegroundLayout> layout =
        CForegroundLayout::Load(std::make_shared<CKeySequences>());
    ASSERT_TRUE(layout);
    if (LOWORD(reinterpret_cast<UINT_PTR>(layout->Handle())) != 0x0409) {
        GTEST_SKIP() << "the foreground layout is not US English";
    }
    // Shifted and unshifted keys of every row; the Cyrillic letter and the euro sign are not on
    // the US layout and are skipped, the characters after them still typed.
    const std::u16string text =
        u"Hello, World! `1234567890-=~!@#$%^&*()_+[]{}\\|;:'\",.<>/? "
        u"a\u0416b\u20acc ZZ";
    ASSERT_TRUE(TypeThroughTypist(Job(text, 1)).ok());
    const std::wstring expected =
        L"Hello, World! `1234567890-=~!@#$%^&*()_+[]{}\\|;:'\",.<>/? abc ZZ";
    std::wstring typed;
    EXPECT_TRUE(peer->WaitForEditableText(expected, typed)) << testing::PrintToString(typed);
    // Every modifier that was pressed was released again.
    for (int key : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
        EXPECT_EQ(::GetAsyncKeyState(key) & 0x8000, 0) << "key " << key << " left down";
    }
}

// The German layout: opens the peer and checks that the keyboard is German (QWERTZ: z is on the
// key that types y under the US layout).
std::unique_ptr<CForegroundLayout> ExpectGermanLayout() {
    std::unique_ptr<CForegroundLayout> layout =
        CForegroundLayout::Load(std::make_shared<CKeySequences>());
    const std::optional<KeyForCharacter> z = layout ? layout->FindKey(u'z') : std::nullopt;
    if (!z || ScanCodeOf(z->m_key) != 0x15) {
        ADD_FAILURE() << "the keyboard is not German";
        return nullptr;
    }
    return layout;
}

// The German tests are run by the test script on a display with the German layout, and by no
// other pass.
TEST(Win32Keyboard, GermanLayoutTypesUmlauts) {
    std::unique_ptr<CPeerEdits> peer = CPeerEdits::Open();
    ASSERT_TRUE(peer);
    ASSERT_TRUE(ExpectGermanLayout());
    const std::u16string umlauts = u"Gr\u00fc\u00dfe zy \u00e4\u00f6\u00fc\u00c4\u00d6\u00dc";
    ASSERT_TRUE(TypeThroughTypist(Job(umlauts, 1)).ok());
    std::wstring typed;
    EXPECT_TRUE(peer->WaitForEditableText(std::wstring(umlauts.begin(), umlauts.end()), typed))
        << testing::PrintToString(typed);
}

TEST(Win32Keyboard, GermanLayoutTypesDeadKeys) {
    std::unique_ptr<CPeerEdits> peer = CPeerEdits::Open();
    ASSERT_TRUE(peer);
    ASSERT_TRUE(ExpectGermanLayout());
    // "^", "`" and the acute accent are dead keys there: each on its own is the dead key and
    // Space, and a vowel with it is the dead key and the vowel (Shift held for the capital).
    const std::u16string accents = u" ^`\u00b4 \u00ea\u00e9\u00e8\u00ca\u00c9\u00fb.";
    const std::wstring expected(accents.begin(), accents.end());
    ASSERT_TRUE(TypeThroughTypist(Job(accents, 1)).ok());
    std::wstring typed;
    // The full stop comes last: once it is there, everything before it has arrived.
    test::PumpUntil([&] {
        typed = test::ControlText(peer->Editable());
        return !typed.empty() && typed.back() == L'.';
    });
    if (typed != expected && test::RunningUnderWine()) {
        GTEST_SKIP() << "Wine reports no dead keys (ToUnicodeEx gives the accent at once) yet "
                        "types nothing for those keys, so dead-key sequences cannot be checked "
                        "here; the search for them is checked against a layout of the tests' own";
    }
    EXPECT_EQ(typed, expected);
}

TEST(Win32Keyboard, GermanLayoutTypesAltGrCharacters) {
    std::unique_ptr<CPeerEdits> peer = CPeerEdits::Open();
    ASSERT_TRUE(peer);
    std::unique_ptr<CForegroundLayout> layout = ExpectGermanLayout();
    ASSERT_TRUE(layout);
    // AltGr+Q, held as Ctrl+Alt.
    const std::optional<KeyForCharacter> at = layout->FindKey(u'@');
    if (!at && test::RunningUnderWine()) {
        GTEST_SKIP() << "Wine gives no AltGr characters for a Ctrl+Alt key state (only real X key "
                        "events set its AltGr state), so they cannot be typed by the layout method "
                        "here and are skipped";
    }
    ASSERT_TRUE(at);
    EXPECT_EQ(VirtualKeyOf(at->m_key), 'Q');
    EXPECT_EQ(at->m_modifiers, KEY_MODIFIER_CONTROL | KEY_MODIFIER_ALT);
    ASSERT_TRUE(TypeThroughTypist(Job(u"@{\\}~|", 1)).ok());
    std::wstring typed;
    EXPECT_TRUE(peer->WaitForEditableText(L"@{\\}~|", typed)) << testing::PrintToString(typed);
    for (int key : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
        EXPECT_EQ(::GetAsyncKeyState(key) & 0x8000, 0) << "key " << key << " left down";
    }
}

TEST(Win32Keyboard, TheLayoutFindsKeysAndModifiersForCharacters) {
    const HKL us = ::LoadKeyboardLayoutW(L"00000409", 0);
    ASSERT_NE(us, nullptr);
    CForegroundLayout layout(us);
    const UINT aScan = ::MapVirtualKeyExW('A', MAPVK_VK_TO_VSC, us);
    const UINT returnScan = ::MapVirtualKeyExW(VK_RETURN, MAPVK_VK_TO_VSC, us);
    const UINT nineScan = ::MapVirtualKeyExW('9', MAPVK_VK_TO_VSC, us);
    const struct {
        const char* what;
        char16_t unit;
        std::optional<KeyForCharacter> expected;
    } cases[] = {
        {"small letter", u'a', KeyForCharacter{MakeKeyCode('A', WORD(aScan)), 0}},
        {"capital letter", u'A',
         KeyForCharacter{MakeKeyCode('A', WORD(aScan)), KEY_MODIFIER_SHIFT}},
        {"on a key another character's search may hide", u'(',
         KeyForCharacter{MakeKeyCode('9', WORD(nineScan)), KEY_MODIFIER_SHIFT}},
        {"carriage return", u'\r', KeyForCharacter{MakeKeyCode(VK_RETURN, WORD(returnScan)), 0}},
        {"line feed takes Return too", u'\n',
         KeyForCharacter{MakeKeyCode(VK_RETURN, WORD(returnScan)), 0}},
        {"a control code is no text", u'\x01', std::nullopt},
        {"not on the layout", u'\u0416', std::nullopt},
        {"half a surrogate pair", u'\xd83d', std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<KeyForCharacter> found = layout.FindKey(c.unit);
        ASSERT_EQ(found.has_value(), c.expected.has_value()) << c.what;
        if (found) {
            EXPECT_EQ(found->m_key, c.expected->m_key) << c.what;
            EXPECT_EQ(found->m_modifiers, c.expected->m_modifiers) << c.what;
        }
    }
    EXPECT_EQ(VirtualKeyOf(layout.ModifierKey(KEY_MODIFIER_SHIFT)), VK_LSHIFT);
    EXPECT_EQ(VirtualKeyOf(layout.ModifierKey(KEY_MODIFIER_CONTROL)), VK_LCONTROL);
    EXPECT_EQ(VirtualKeyOf(layout.ModifierKey(KEY_MODIFIER_ALT)), VK_LMENU);
}

}  // namespace
}  // namespace quenby
