// Quenby.exe started with a data file types it into another process when the shortcut is
// pressed there, by both keyboard methods and by setting the text, and a second press stops the
// run after the message being typed.
#include <gtest/gtest.h>

#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

using ProgramTyping = CProgramTest;

TEST_F(ProgramTyping, TheShortcutTypesTheDataFileIntoAnotherProcess) {
    const struct {
        const char* what;
        std::int32_t method;
        std::int32_t setText;
        std::u16string text;
    } cases[] = {
        // Latin with accents, Greek, Cyrillic, Hebrew, Arabic, Devanagari, Thai, CJK, Hangul, and
        // beyond the BMP (two code units each): emoji, a flag, a CJK extension B ideograph.
        {"typed by Unicode events", 0, 0,
         u"Quenby \u00e9\u00df\u00c5 \u03a9\u03bb \u0416\u044b \u05e9\u05dc\u05d5\u05dd "
         u"\u0645\u0631\u062d\u0628\u0627 \u0928\u092e\u0938\u094d\u0924\u0947 \u0e2a\u0e27 "
         u"\u6f22\u5b57 \ud55c\uae00 \U0001F600\U0001F1E9\U0001F1EA \U00020BB7 ~!@#{x}\u2713"},
        {"typed by the keyboard layout", 1, 0, u"Typed by Quenby's layout: a-Z 0_9 ~!@#$%^&*()"},
        // The check mark is not on the US layout: only setting the text gives it whole.
        {"set into the EDIT under the pointer", 0, 1, u"Set by Quenby \u2713 \u00e9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StoreShortcut(1, {{"m_iKeyInputMethod", c.method}, {"TextSettingUp", c.setText}});
        ASSERT_TRUE(Start(WriteDataFile(L"typing.quenbydata", {Plain(c.text)})));
        std::unique_ptr<PeerEdits> recorder = PeerEdits::Open();
        ASSERT_TRUE(recorder);
        const ScreenPoint over = CentreOf(recorder->m_editable);
        ASSERT_TRUE(::SetCursorPos(over.m_x, over.m_y));
        ASSERT_TRUE(Press());
        std::wstring typed;
        EXPECT_TRUE(
            recorder->WaitForEditableText(std::wstring(c.text.begin(), c.text.end()), typed))
            << testing::PrintToString(typed);
        EXPECT_EQ(Close(), DWORD{0}) << "did not end when closed";
    }
}

TEST_F(ProgramTyping, TheShortcutsKeysStillHeldDelayTheFirstKey) {
    StoreShortcut(1);
    const std::u16string text = u"typed once the keys were let go";
    ASSERT_TRUE(Start(WriteDataFile(L"held.quenbydata", {Plain(text)})));
    std::unique_ptr<PeerEdits> recorder = PeerEdits::Open();
    ASSERT_TRUE(recorder);
    // A slow hand: F9 is let go, Ctrl and Alt are still down as the run starts. Typed now, every
    // letter would be Ctrl+Alt+letter: a command, not text.
    SendKeys({{VK_LCONTROL, true}, {VK_LMENU, true}, {VK_F9, true}, {VK_F9, false}});
    const bool typedWhileHeld =
        PumpUntil([&] { return !ControlText(recorder->m_editable).empty(); },
                  std::chrono::milliseconds(1500));
    SendKeys({{VK_LMENU, false}, {VK_LCONTROL, false}});
    EXPECT_FALSE(typedWhileHeld) << "typed while Ctrl and Alt were down";
    std::wstring typed;
    EXPECT_TRUE(recorder->WaitForEditableText(std::wstring(text.begin(), text.end()), typed))
        << testing::PrintToString(typed);
    EXPECT_EQ(Close(), DWORD{0});
}

TEST_F(ProgramTyping, ASecondPressStopsTheRunAfterTheMessageBeingTyped) {
    // Without end (count 0) and without a pause between messages, 40 ms before each character:
    // the second message takes seconds, and the second press comes while it is typed.
    StoreShortcut(0);
    const std::u16string first = u"first.";
    const std::u16string second = std::u16string(100, u's') + u".";
    ASSERT_TRUE(
        Start(WriteDataFile(L"endless.quenbydata", {Plain(first, 0, 40), Plain(second, 0, 40)})));
    std::unique_ptr<PeerEdits> recorder = PeerEdits::Open();
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(Press());
    ASSERT_TRUE(PumpUntil([&] { return ControlText(recorder->m_editable).ends_with(L"ss"); }));
    ASSERT_TRUE(Press());
    ASSERT_TRUE(PumpUntil([&] {
        return ControlText(recorder->m_editable).size() >= first.size() + second.size();
    })) << "the message being typed was not finished";
    // A key pressed once the second message is out comes right after it, unless the run went on.
    ASSERT_TRUE(PressInAnotherProcess('X', 0));
    std::wstring typed;
    EXPECT_TRUE(PumpUntil([&] {
        typed = ControlText(recorder->m_editable);
        return typed.ends_with(L'x');
    }));
    const std::u16string expected = first + second + u"x";
    EXPECT_EQ(typed, std::wstring(expected.begin(), expected.end()));
    EXPECT_EQ(Close(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test
