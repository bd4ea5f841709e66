// Quenby.exe started with a data file types it into another process when the shortcut is
// pressed there, by both keyboard methods and by setting the text, and a second press stops the
// run after the message being typed.
#include <gtest/gtest.h>

#include "app/ProfileValues.h"
#include "engine/HotKeyProfile.h"
#include "program/ProgramFixture.h"

namespace quenby::test {
namespace {

// Ctrl+Alt+F9, as the profile keeps it and as the presser sends it.
constexpr std::uint16_t kShortcutKey = VK_F9;
const std::wstring kPress =
    L"press " + std::to_wstring(VK_F9) + L" " + std::to_wstring(MOD_CONTROL | MOD_ALT);

class ProgramTyping : public CProgramTest {
protected:
    void StoreShortcut(std::int32_t method, std::int32_t setText, std::int32_t count) {
        CHotKeyProfile(Profile()).StoreHotKey(kStartStopHotKeyName, kShortcutKey,
                                              CONTROL_FLAG_CONTROL | CONTROL_FLAG_ALT);
        Profile().WriteInt(kProfileSection, "m_iKeyInputMethod", method);
        Profile().WriteInt(kProfileSection, "TextSettingUp", setText);
        Profile().WriteInt(kProfileSection, "m_iCount", count);
    }
    static bool Press() {
        std::unique_ptr<CPeerProcess> presser = CPeerProcess::Start(kPress, false);
        return presser && presser->WaitForExit() == DWORD{0};
    }
};

TEST_F(ProgramTyping, TheShortcutTypesTheDataFileIntoAnotherProcess) {
    const struct {
        const char* what;
        std::int32_t method;
        std::int32_t setText;
        std::u16string text;
    } cases[] = {
        {"typed by Unicode events", 0, 0, u"Typed by Quenby: caf\u00e9 \u00fcber \u2713 {x}"},
        {"typed by the keyboard layout", 1, 0, u"Typed by Quenby's layout: a-Z 0_9 ~!@#$%^&*()"},
        // The check mark is not on the US layout: only setting the text gives it whole.
        {"set into the EDIT under the pointer", 0, 1, u"Set by Quenby \u2713 \u00e9"},
    };
    for (const auto& c : cases) {
        StoreShortcut(c.method, c.setText, 1);
        const std::filesystem::path data = WriteDataFile(L"typing.quenbydata", {Plain(c.text)});
        HWND main = nullptr;
        std::unique_ptr<CQuenbyProcess> quenby = StartWith(data, main);
        ASSERT_NE(main, nullptr) << c.what << ": no main window";

        std::unique_ptr<CPeerEdits> recorder = CPeerEdits::Open();
        ASSERT_TRUE(recorder) << c.what;
        const ScreenPoint over = CentreOf(recorder->Editable());
        ASSERT_TRUE(::SetCursorPos(over.m_x, over.m_y)) << c.what;
        ASSERT_TRUE(Press()) << c.what;
        std::wstring typed;
        EXPECT_TRUE(
            recorder->WaitForEditableText(std::wstring(c.text.begin(), c.text.end()), typed))
            << c.what << ": " << testing::PrintToString(typed);

        ::PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(quenby->WaitForExit(), DWORD{0}) << c.what << ": did not end when closed";
    }
}

TEST_F(ProgramTyping, ASecondPressStopsTheRunAfterTheMessageBeingTyped) {
    // Without end (count 0), ten characters a message, 40 ms before each.
    StoreShortcut(0, 0, 0);
    const std::u16string message = u"abcdefghi.";
    const std::filesystem::path data =
        WriteDataFile(L"endless.quenbydata", {Plain(message, 100, 40)});
    HWND main = nullptr;
    std::unique_ptr<CQuenbyProcess> quenby = StartWith(data, main);
    ASSERT_NE(main, nullptr);
    std::unique_ptr<CPeerEdits> recorder = CPeerEdits::Open();
    ASSERT_TRUE(recorder);
    ASSERT_TRUE(Press());
    // Pressed again in the middle of the second message.
    ASSERT_TRUE(PumpUntil([&] { return ControlText(recorder->Editable()).size() >= 13; }));
    ASSERT_TRUE(Press());
    // The text stops growing: the same for a whole second, within the deadline.
    std::wstring last = ControlText(recorder->Editable());
    auto stableSince = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpUntil([&] {
        const std::wstring now = ControlText(recorder->Editable());
        if (now != last) {
            last = now;
            stableSince = std::chrono::steady_clock::now();
        }
        return std::chrono::steady_clock::now() - stableSince > std::chrono::seconds(1);
    })) << "the run did not stop";
    // Whole messages only, and no more than the one being typed when the second press came
    // (and, as the presser's keys take a moment, the one after).
    EXPECT_EQ(last.size() % message.size(), 0u) << testing::PrintToString(last);
    EXPECT_LE(last.size(), 4 * message.size()) << testing::PrintToString(last);
    for (std::size_t at = 0; at < last.size(); ++at) {
        EXPECT_EQ(last[at], static_cast<wchar_t>(message[at % message.size()]))
            << testing::PrintToString(last);
    }
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(quenby->WaitForExit(), DWORD{0});
}

}  // namespace
}  // namespace quenby::test
