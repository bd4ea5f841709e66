#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "engine/WideText.h"
#include "fakes/FakeDesktop.h"
#include "input/TypingJob.h"
#include "linux/ThreadSleeper.h"
#include "linux/x11/X11Keyboard.h"
#include "support/BrowserPage.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

// Chromium, the engine of most chat programs, showing a page with a focused <textarea>.
class X11ChromiumTest : public test::XDisplayTest {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        m_page = std::make_unique<test::CBrowserPage>(m_root);
        m_browser = test::StartChromium(m_root / "chromium", m_page->Url());
        ASSERT_TRUE(m_browser->Started()) << "chromium could not be started (scripts/setup)";
        ASSERT_TRUE(m_page->WaitUntilFocused(120000)) << "the page never had the focus";
        // A focused page may not take keys yet: until a key arrives, press it again.
        bool typing = false;
        for (int i = 0; i < 20 && !typing; ++i) {
            Press({{53, true}, {53, false}});  // x
            typing = !m_page->WaitForText(1, 3000).empty();
        }
        ASSERT_TRUE(typing) << "the page never took a key";
    }
    void TearDown() override {
        m_browser.reset();
        m_page.reset();
        XDisplayTest::TearDown();
    }

    Status Type(const std::u16string& text, int method, std::uint32_t pauseMin,
                std::uint32_t pauseMax) {
        TypingJob job;
        job.m_strText = text;
        job.m_iKeyInputMethod = method;
        job.m_uCharDelayMin = pauseMin;
        job.m_uCharDelayMax = pauseMax;
        return RunTypingJob(m_services, job);
    }

    // Sends key events by keycode (the same in the evdev keymaps of every layout).
    static void Press(std::initializer_list<std::pair<int, bool>> keys) {
        xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
        for (const auto& [key, press] : keys) {
            xcb_test_fake_input(conn, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE,
                                static_cast<std::uint8_t>(key), XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                                0);
        }
        free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
        xcb_disconnect(conn);
    }
    // Empties the text area: Ctrl+A, BackSpace.
    bool Clear() {
        Press({{37, true}, {38, true}, {38, false}, {37, false}, {22, true}, {22, false}});
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

// How many characters of `wanted` arrived in their place.
std::size_t RightCharacters(const std::u16string& got, const std::u16string& wanted) {
    std::size_t right = 0;
    for (std::size_t i = 0; i < std::min(got.size(), wanted.size()); ++i) {
        right += got[i] == wanted[i];
    }
    return right;
}

std::u16string Repeat(const std::u16string& characters, std::size_t length) {
    std::u16string text;
    for (std::size_t i = 0; text.size() < length; ++i) {
        text.push_back(characters[i % characters.size()]);
    }
    return text;
}

// Every text at once, at full speed and at the default pause, by both methods where the layout
// has the characters: Chromium turns some keycodes into commands rather than text, and takes in
// a keymap change on a connection of its own, apart from the keys.
TEST_F(X11ChromiumTest, EveryCharacterArrivesWhateverTheMethodAndPace) {
    std::u16string ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        ascii.push_back(c);
    }
    std::u16string cyrillicCjk;  // 120 different characters, each in its turn
    for (char16_t c = 0; c < 60; ++c) {
        cyrillicCjk.push_back(static_cast<char16_t>(0x0410 + c));
        cyrillicCjk.push_back(static_cast<char16_t>(0x4E00 + 7 * c));
    }
    std::u16string many;  // 400 different characters between words
    for (char16_t c = 0; c < 400; ++c) {
        many.push_back(static_cast<char16_t>((c % 2 != 0 ? 0x5000 : 0x0400) + c / 2 * 3));
        if (c % 7 == 6) {
            many += u" ab ";
        }
    }
    const struct {
        const char* name;
        std::u16string text;
        int method;
    } texts[] = {
        {"ASCII, Unicode", Repeat(ascii, 300), kUnicode},
        {"ASCII, layout", Repeat(ascii, 300), kLayout},
        {"120 Cyrillic and CJK", Repeat(cyrillicCjk, 300), kUnicode},
        {"400 missing", many, kUnicode},
    };
    const std::pair<std::uint32_t, std::uint32_t> pauses[] = {{0, 0}, {20, 60}};
    for (const auto& t : texts) {
        for (const auto& [pauseMin, pauseMax] : pauses) {
            const std::string what =
                std::string(t.name) + ", pause " + std::to_string(pauseMax) + " ms";
            ASSERT_TRUE(Clear()) << what;
            const auto start = std::chrono::steady_clock::now();
            ASSERT_TRUE(Type(t.text, t.method, pauseMin, pauseMax).ok()) << what;
            const std::u16string got = m_page->WaitForText(t.text.size(), 30000);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%s: %zu/%zu right, %.0f characters/s\n", what.c_str(),
                        RightCharacters(got, t.text), t.text.size(),
                        static_cast<double>(t.text.size()) / seconds);
            EXPECT_EQ(test::FirstDifference(Utf8FromUtf16(got), Utf8FromUtf16(t.text)), "") << what;
        }
    }
}

}  // namespace
}  // namespace quenby
