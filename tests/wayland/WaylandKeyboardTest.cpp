#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "engine/WideText.h"
#include "input/TypingJob.h"
#include "linux/ThreadSleeper.h"
#include "linux/wayland/WaylandKeyboard.h"
#include "wayland/HeadlessSway.h"
#include "wayland/MixedText.h"
#include "wayland/UserKeyboard.h"

namespace quenby {
namespace {

class CNoTextSetters final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override { return nullptr; }
};

// Ends each text in the recorder: it reports what came before it.
const std::u16string kMarker = u"\ue000";
constexpr int kUnicode = 0;
constexpr int kLayout = 1;

// Where two texts first differ, shown briefly: long texts must not flood the log.
std::string FirstDifference(const std::string& got, const std::string& wanted) {
    const std::size_t at =
        std::mismatch(got.begin(), got.end(), wanted.begin(), wanted.end()).first - got.begin();
    if (got == wanted) {
        return "";
    }
    return "differ at byte " + std::to_string(at) + " of " + std::to_string(wanted.size()) +
           ": got \"" + got.substr(at, 40) + "\" wanted \"" + wanted.substr(at, 40) + "\"";
}

class WaylandKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_sway.Failure(), "");
        m_recorder = m_sway.StartGtkRecorder();
        ASSERT_NE(m_recorder, nullptr) << "the GTK recorder was not focused";
    }

    // Types a text and then the marker, and returns what the recorder received before it.
    std::string TypeAndRecord(const std::u16string& text, int method = kUnicode,
                              std::uint32_t pauseMin = 0, std::uint32_t pauseMax = 0) {
        TypingJob job;
        job.m_strText = text;
        job.m_iKeyInputMethod = method;
        job.m_uCharDelayMin = pauseMin;
        job.m_uCharDelayMax = pauseMax;
        EXPECT_TRUE(RunTypingJob(m_services, job).ok());
        job.m_strText = kMarker;
        job.m_iKeyInputMethod = kUnicode;
        EXPECT_TRUE(RunTypingJob(m_services, job).ok());
        std::string received;
        EXPECT_TRUE(test::ReadRecordedText(*m_recorder, received, 120000))
            << "no end marker: the recorder lost its connection or keys were lost";
        return received;
    }

    test::CHeadlessSway m_sway;
    std::unique_ptr<test::CChildProcess> m_recorder;
    std::atomic<int> m_iBeeps{0};
    CWaylandKeyboard m_keyboard{WaylandPacing{}, [this] { ++m_iBeeps; }};
    CNoTextSetters m_noSetters;
    CThreadSleeper m_sleeper;
    std::atomic<bool> m_runActive{true};
    KeystrokeServices m_services{m_keyboard, m_noSetters, m_sleeper, m_runActive};
};

// Every script, both cases, symbols that are dead keys on some layouts, tab and line breaks.
const std::u16string kMixed =
    u"Hi yz@ ~^`'\"\u00a0\u00e9\u00c9\u00df\u00e0\u00c0\u00f1\u00d1 \u0436\u0416\u0449 \u03b1\u03a9"
    u"\u03c2 \u4e2d\u6587\u65e5\u672c \U0001F600\U0001F44D \u20ac\u00a7\u00b0\u2192\tok\nend\r!";

TEST_F(WaylandKeyboardTest, TheUnicodeMethodDeliversEveryScriptAndTenThousandCharactersExactly) {
    // Line breaks arrive as the text view stores them: carriage return becomes line feed.
    std::string wanted = Utf8FromUtf16(kMixed);
    wanted[wanted.size() - 2] = '\n';
    const struct { std::uint32_t min, max; } pauses[] = {{0, 0}, {1, 4}, {3, 0}};
    for (const auto& p : pauses) {
        EXPECT_EQ(FirstDifference(TypeAndRecord(kMixed, kUnicode, p.min, p.max), wanted), "")
            << "pauses " << p.min << "-" << p.max;
    }
    // More than 200 distinct characters: the text needs several keymaps of ours.
    const std::u16string text = test::MixedText(10000, 600);
    EXPECT_EQ(FirstDifference(TypeAndRecord(text), Utf8FromUtf16(text)), "");
    EXPECT_EQ(m_iBeeps, 0);
    // A key left down would repeat in the recorder once its repeat delay has passed: wait past
    // it (sway's default is 600 ms) and nothing more may have arrived. After that the recorder
    // is still connected, and still typing.
    std::string line;
    EXPECT_FALSE(m_recorder->ReadLine(line, 1000)) << line;
    EXPECT_EQ(TypeAndRecord(u"after"), "after");
}

TEST_F(WaylandKeyboardTest, TheLayoutMethodTypesWhatTheUsersLayoutHasAndBeepsForTheRest) {
    const struct {
        const char* layout;
        const char* typed;  // UTF-8
        int beeps;
    } cases[] = {
        {"us", "aA@ ~", 3},              // no ß, €, ж
        {"de", "aA@ \u00df\u20ac~", 1},  // @, €, ~ through AltGr; no ж
        {"ru", " \u0436", 6},            // no Latin letters (a, A), no @, ß, € or ~
    };
    for (const auto& c : cases) {
        test::CUserKeyboard user(c.layout);
        ASSERT_TRUE(user.Ready()) << c.layout;
        m_iBeeps = 0;
        EXPECT_EQ(TypeAndRecord(u"aA@ \u00df\u20ac~\u0436", kLayout), c.typed) << c.layout;
        EXPECT_EQ(m_iBeeps, c.beeps) << c.layout;
    }
}

TEST_F(WaylandKeyboardTest, EnterBeforeAndAfterAndAStoppedRunTypeOnlyTheEnters) {
    TypingJob job;
    job.m_strText = u"abc";
    job.m_bEnterBefore = true;
    job.m_bEnterAfter = true;
    job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
    for (const int method : {kUnicode, kLayout}) {
        job.m_iKeyInputMethod = method;
        m_runActive = false;
        ASSERT_TRUE(RunTypingJob(m_services, job).ok());
        m_runActive = true;
        EXPECT_EQ(TypeAndRecord(u""), "\n\n") << method;
    }
}

TEST(WaylandWithoutCompositorTest, TheKeyboardFailsWithTheReasonNotACrash) {
    ::setenv("WAYLAND_DISPLAY", "/nonexistent/wayland-99", 1);
    EXPECT_EQ(OpenWaylandKeyboard(), nullptr);
    const Expected<std::unique_ptr<IKeyboardOutput>> output = CWaylandKeyboard().OpenOutput();
    ::unsetenv("WAYLAND_DISPLAY");
    ASSERT_FALSE(output.ok());
    EXPECT_NE(output.reason().find(u"Cannot connect to the Wayland display"), std::u16string::npos);
}

}  // namespace
}  // namespace quenby
