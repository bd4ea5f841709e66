// Set-text into controls of another process through the accessibility service there is.
#include <gtest/gtest.h>
#include <objbase.h>

#include <chrono>

#include "support/PeerWindows.h"
#include "support/Win32TestSupport.h"
#include "win32/AccessibleTextSetter.h"
#include "win32/TextSetterFactory.h"
#include "win32/UiaTextSetter.h"

namespace quenby {
namespace {

using test::CPeerEdits;

// COM as the UI thread has it.
class TextSetterTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_bCom = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    void TearDown() override {
        if (m_bCom) {
            ::CoUninitialize();
        }
    }
    bool m_bCom = false;
};

TEST_F(TextSetterTest, TheFactoryTakesUiAutomationWhereItExists) {
    std::unique_ptr<ITextSetter> setter = CWin32TextSetterFactory().CreateTextSetter();
    ASSERT_TRUE(setter);
    const bool automation = dynamic_cast<CUiaTextSetter*>(setter.get()) != nullptr;
    // Wine has no UI Automation: Active Accessibility stands in.
    EXPECT_EQ(automation, !test::RunningUnderWine());
}

TEST_F(TextSetterTest, AccessibilitySetsAnEditableControlAndLeavesAReadOnlyOneAlone) {
    std::unique_ptr<CPeerEdits> peer = CPeerEdits::Open();
    ASSERT_TRUE(peer);
    std::unique_ptr<ITextSetter> setter = CWin32TextSetterFactory().CreateTextSetter();
    ASSERT_TRUE(setter);

    const ScreenPoint editable = test::CentreOf(peer->Editable());
    EXPECT_TRUE(setter->CanSetTextAt(editable));
    const std::u16string text = u"Gr\u00fc\u00dfe \u0416 \U0001F600";
    EXPECT_TRUE(setter->SetTextAt(editable, text));
    std::wstring value;
    EXPECT_TRUE(peer->WaitForEditableText(std::wstring(text.begin(), text.end()), value));
    // The whole value is replaced, not appended to.
    EXPECT_TRUE(setter->SetTextAt(editable, u"second"));
    EXPECT_TRUE(peer->WaitForEditableText(L"second", value));

    const ScreenPoint readOnly = test::CentreOf(peer->ReadOnly());
    EXPECT_FALSE(setter->CanSetTextAt(readOnly));
    EXPECT_FALSE(setter->SetTextAt(readOnly, u"changed"));
    EXPECT_EQ(test::ControlText(peer->ReadOnly()), test::kReadOnlyText);
}

TEST_F(TextSetterTest, AHungTargetIsGivenUpOnQuickly) {
    std::unique_ptr<CPeerEdits> peer = CPeerEdits::OpenHung();
    ASSERT_TRUE(peer);
    std::unique_ptr<ITextSetter> setter = CWin32TextSetterFactory().CreateTextSetter();
    ASSERT_TRUE(setter);
    const ScreenPoint editable = test::CentreOf(peer->Editable());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(setter->CanSetTextAt(editable));
    EXPECT_FALSE(setter->SetTextAt(editable, u"never"));
    // Two calls of a quarter of a second each; generous for a slow machine, far below a hang.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace quenby
