#include <algorithm>
#include <chrono>
#include <cstdio>

#include "engine/WideText.h"
#include "fakes/FakeDesktop.h"
#include "input/ThreadSleeper.h"
#include "input/TypingJob.h"
#include "linux/x11/X11Keyboard.h"
#include "support/BrowserPage.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

// A browser showing a page with a focused <textarea>: Chromium (the engine of most chat
// programs) and Firefox.
class X11BrowserTest : public test::XDisplayTest,
                       public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        m_page = std::make_unique<test::CBrowserPage>(m_root);
        m_browser = test::StartBrowser(GetParam(), m_root / "browser", m_page->Url());
        ASSERT_TRUE(m_browser->Started()) << GetParam() << " could not be started (scripts/setup)";
        ASSERT_TRUE(m_page->WaitUntilFocused(120000)) << "the page never had the focus";
        // A focused page may not take keys yet: until a key arrives, press it again.
        bool typing = false;
        for (int i = 0; i < 20 && !typing; ++i) {
            FakeKeys({{53, true}, {53, false}});  // x
            typing = !m_page->WaitForText(1, 3000).empty();
        }
        ASSERT_TRUE(typing) << "the page never took a key";
    }
    void TearDown() override {
        m_browser.reset();
        m_page.reset();
        XDisplayTest::TearDown();
    }

    // Empties the text area: Ctrl+A, BackSpace.
    bool Clear() {
        FakeKeys({{37, true}, {38, true}, {38, false}, {37, false}, {22, true}, {22, false}});
        return m_page->WaitUntilEmpty(60000);
    }

    std::unique_ptr<test::CBrowserPage> m_page;
    std::unique_ptr<test::CChildProcess> m_browser;
    CX11Keyboard m_keyboard;
    test::CFakeTextSetterFactory m_noSetters;  // these tests type
    CThreadSleeper m_sleeper;
    std::atomic<bool> m_runActive{true};
    KeystrokeServices m_services{m_keyboard, m_noSetters, m_sleeper, m_runActive};
};

// Every text at once, at full speed and at the default pause, by both methods where the layout
// has the characters: Chromium turns some keycodes into commands rather than text, and takes in
// a keymap change on a connection of its own, apart from the keys.
TEST_P(X11BrowserTest, EveryCharacterArrivesWhateverTheMethodAndPace) {
    std::u16string ascii, cyrillicCjk, many;
    for (char16_t i = 0; i < 300; ++i) {
        ascii.push_back(static_cast<char16_t>(0x20 + i % 95));
        // 120 different characters, each in its turn
        cyrillicCjk.push_back(
            static_cast<char16_t>(i % 2 != 0 ? 0x4E00 + i / 2 % 60 * 7 : 0x0410 + i / 2 % 60));
    }
    for (char16_t i = 0; i < 400; ++i) {  // 400 different characters between words
        many.push_back(static_cast<char16_t>(i % 2 != 0 ? 0x5000 + i / 2 * 3 : 0x0400 + i / 2));
        many += i % 7 == 6 ? u" ab " : u"";
    }
    const struct {
        const char* name;
        std::u16string text;
        int method;
    } texts[] = {{"ASCII, Unicode", ascii, kUnicode},
                 {"ASCII, layout", ascii, kLayout},
                 {"120 Cyrillic and CJK", cyrillicCjk, kUnicode},
                 {"400 missing", many, kUnicode}};
    for (const auto& t : texts) {
        for (const std::uint32_t pause : {0, 20}) {  // none, and the default 20-60 ms
            const std::string what = std::string(t.name) + ", pause " + std::to_string(pause);
            ASSERT_TRUE(Clear()) << what;
            TypingJob job;
            job.m_strText = t.text;
            job.m_iKeyInputMethod = t.method;
            job.m_uCharDelayMin = pause;
            job.m_uCharDelayMax = pause * 3;
            const auto start = std::chrono::steady_clock::now();
            ASSERT_TRUE(RunTypingJob(m_services, job).ok()) << what;
            const std::u16string got = m_page->WaitForText(t.text.size(), 60000);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            std::size_t right = 0;
            for (std::size_t i = 0; i < std::min(got.size(), t.text.size()); ++i) {
                right += got[i] == t.text[i];
            }
            std::printf("%s: %zu/%zu right, %.0f characters/s\n", what.c_str(), right,
                        t.text.size(), static_cast<double>(t.text.size()) / took.count());
            EXPECT_EQ(test::FirstDifference(Utf8FromUtf16(got), Utf8FromUtf16(t.text)), "") << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Browsers, X11BrowserTest, ::testing::Values("chromium", "firefox"),
                         [](const auto& test) { return std::string(test.param); });

}  // namespace
}  // namespace quenby
