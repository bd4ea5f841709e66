// Typing into the applications people type into, each on a headless sway of its own: every text
// read back exactly from the application, which is still connected afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "engine/WideText.h"
#include "input/ThreadSleeper.h"
#include "input/TypingJob.h"
#include "linux/wayland/WaylandKeyboard.h"
#include "wayland/AppTargets.h"
#include "wayland/UserKeyboard.h"

namespace quenby {
namespace {

class CNoSetters final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override { return nullptr; }
};

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

std::u16string Printable() {
    std::u16string ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        ascii.push_back(c);
    }
    return ascii;
}

// 150 different characters no Latin layout has (Cyrillic, Greek, CJK), more than one keymap of
// ours holds, in a text of about 300.
std::u16string Lacking() {
    std::u16string text;
    for (char16_t i = 0; i < 150; ++i) {
        text.push_back(i % 3 == 0   ? char16_t(0x0410 + i / 3)
                       : i % 3 == 1 ? char16_t(0x0391 + i % 17)
                                    : char16_t(0x4E00 + i));
        text.push_back(i % 10 == 9 ? u'\n' : u' ');
    }
    return text;
}

struct Case {
    const char* what;
    std::u16string text;
    int method;
    const char* layout;  // the user's layout
    std::uint32_t pauseMin, pauseMax;
    // Chromium takes one UTF-16 unit from a key event, so a character beyond U+FFFF cannot reach
    // it as a key (it arrives cut to its last 16 bits); such texts are not typed there.
    bool beyondBmp = false;
};

const Case kCases[] = {
    {"ASCII", Printable() + u"\n" + Printable(), kUnicode, "us", 0, 0},
    {"ASCII, default pause", Printable(), kUnicode, "us", 20, 60},
    {"ASCII, layout method", Printable() + u"\n" + Printable(), kLayout, "us", 0, 0},
    {"characters the layout lacks", Lacking(), kUnicode, "us", 0, 0},
    {"characters the layout lacks, default pause", Lacking().substr(0, 120), kUnicode, "us", 20,
     60},
    {"dead-key characters under de",
     Printable() + u"\u00b4\u00e2\u00ea\u00ee\u00f4\u00fb\u00c2\u00ca\u00d4\u00e0\u00e8\u00f9\u00c1"
                   u"\u00c9\u00dd^^``",
     kLayout, "de", 0, 0},
    {"emoji beyond U+FFFF", u"\U0001F642 smile \U0001F600\U0001F44D\U0001F680 \U00010348", kUnicode,
     "us", 0, 0, true},
    {"dead-key characters under de, default pause", u"^a`e\u00b4\u00e2\u00ca\u00e8\u00c9^", kLayout,
     "de", 20, 60},
};

class WaylandAppsTest : public ::testing::TestWithParam<const char*> {
protected:
    test::CHeadlessSway m_sway;
    std::unique_ptr<test::CAppTarget> m_target;
    CWaylandKeyboard m_keyboard;
    CNoSetters m_noSetters;
    CThreadSleeper m_sleeper;
    std::atomic<bool> m_runActive{true};
    KeystrokeServices m_services{m_keyboard, m_noSetters, m_sleeper, m_runActive};
};

TEST_P(WaylandAppsTest, EveryTextArrivesExactlyAndTheApplicationStaysConnected) {
    ASSERT_EQ(m_sway.Failure(), "");
    for (const Case& c : kCases) {
        if (c.beyondBmp && std::string(GetParam()) == "chromium") {
            continue;
        }
        test::CUserKeyboard user(c.layout);
        ASSERT_TRUE(user.Ready()) << c.layout;
        if (!m_target) {
            m_target = std::make_unique<test::CAppTarget>(m_sway, GetParam());
            ASSERT_EQ(m_target->Failure(), "");
        }
        TypingJob job;
        job.m_strText = c.text;
        job.m_iKeyInputMethod = c.method;
        job.m_uCharDelayMin = c.pauseMin;
        job.m_uCharDelayMax = c.pauseMax;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(RunTypingJob(m_services, job).ok()) << c.what;
        // The end marker, which no layout has.
        job.m_strText = u"\ue000";
        job.m_iKeyInputMethod = kUnicode;
        EXPECT_TRUE(RunTypingJob(m_services, job).ok());
        std::string received;
        EXPECT_TRUE(m_target->Read(received, 120000)) << c.what << ": nothing arrived";
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(received, Utf8FromUtf16(m_target->Expected(c.text))) << c.what;
        std::printf("%s, %s: %zu characters, %.0f a second\n", GetParam(), c.what, c.text.size(),
                    double(c.text.size()) / seconds);
        // Still connected, and still typing.
        job.m_strText = u"ok\ue000";
        job.m_iKeyInputMethod = kUnicode;
        job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
        EXPECT_TRUE(RunTypingJob(m_services, job).ok());
        EXPECT_TRUE(m_target->Read(received, 30000) && received == "ok")
            << c.what << ": the application went away";
    }
}

INSTANTIATE_TEST_SUITE_P(Applications, WaylandAppsTest, ::testing::Values("foot", "chromium"));

}  // namespace
}  // namespace quenby
