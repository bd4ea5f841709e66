// Set-text into controls of another process through the accessibility service there is, with
// COM as the UI thread has it.
#include <gtest/gtest.h>

#include <chrono>

#include "support/PeerWindows.h"
#include "support/Win32TestSupport.h"
#include "win32/TextSetterFactory.h"
#include "win32/UiaTextSetter.h"
#include "win32/Win32Services.h"

namespace quenby {
namespace {

using test::PeerEdits;

TEST(TextSetterTest, AccessibilitySetsAnEditableControlAndLeavesAReadOnlyOneAlone) {
    const CComApartment com;
    std::unique_ptr<PeerEdits> peer = PeerEdits::Open();
    ASSERT_TRUE(peer);
    std::unique_ptr<ITextSetter> setter = CWin32TextSetterFactory().CreateTextSetter();
    ASSERT_TRUE(setter);
    // Wine has no UI Automation: Active Accessibility stands in.
    EXPECT_EQ(dynamic_cast<CUiaTextSetter*>(setter.get()) != nullptr, !test::RunningUnderWine());

    const ScreenPoint editable = test::CentreOf(peer->m_editable);
    EXPECT_TRUE(setter->CanSetTextAt(editable));
    const std::u16string text = u"Gr\u00fc\u00dfe \u0416 \U0001F600";
    EXPECT_TRUE(setter->SetTextAt(editable, text));
    std::wstring value;
    EXPECT_TRUE(peer->WaitForEditableText(std::wstring(text.begin(), text.end()), value));
    // The whole value is replaced, not appended to.
    EXPECT_TRUE(setter->SetTextAt(editable, u"second"));
    EXPECT_TRUE(peer->WaitForEditableText(L"second", value));

    const ScreenPoint readOnly = test::CentreOf(peer->m_readOnly);
    EXPECT_FALSE(setter->CanSetTextAt(readOnly));
    EXPECT_FALSE(setter->SetTextAt(readOnly, u"changed"));
    EXPECT_EQ(test::ControlText(peer->m_readOnly), test::kReadOnlyText);
}

TEST(TextSetterTest, AHungTargetIsGivenUpOnQuickly) {
    const CComApartment com;
    std::unique_ptr<PeerEdits> peer = PeerEdits::Open(true);
    ASSERT_TRUE(peer);
    std::unique_ptr<ITextSetter> setter = CWin32TextSetterFactory().CreateTextSetter();
    ASSERT_TRUE(setter);
    const ScreenPoint editable = test::CentreOf(peer->m_editable);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(setter->CanSetTextAt(editable));
    EXPECT_FALSE(setter->SetTextAt(editable, u"never"));
    // Two calls of a quarter of a second each; generous for a slow machine, far below a hang.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace quenby
