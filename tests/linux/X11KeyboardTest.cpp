#include <xcb/xcb.h>

#include <set>
#include <thread>

#include "engine/WideText.h"
#include "input/TypingJob.h"
#include "linux/ThreadSleeper.h"
#include "linux/x11/X11Keyboard.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

// No accessibility: these tests type.
class CNoTextSetters final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override { return nullptr; }
};

// Where two texts first differ, shown briefly: long texts must not flood the log.
std::string FirstDifference(const std::string& got, const std::string& wanted) {
    std::size_t at = 0;
    while (at < got.size() && at < wanted.size() && got[at] == wanted[at]) {
        ++at;
    }
    if (at == got.size() && at == wanted.size()) {
        return "";
    }
    return "differ at byte " + std::to_string(at) + " of " + std::to_string(wanted.size()) +
           " (got " + std::to_string(got.size()) + "): got \"" + got.substr(at, 40) +
           "\" wanted \"" + wanted.substr(at, 40) + "\"";
}

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

class X11KeyboardTest : public test::XDisplayTest {
protected:
    Status Type(const std::u16string& text, int method, std::uint32_t pause = 0) {
        TypingJob job;
        job.m_strText = text;
        job.m_iKeyInputMethod = method;
        job.m_uCharDelayMin = pause;
        job.m_uCharDelayMax = pause;
        return RunTypingJob(m_services, job);
    }

    // What an outside client sees of the server's keymap: the core mapping and the XKB keymap.
    std::string KeymapNow() {
        Expected<std::unique_ptr<CXcbConnection>> connection = CXcbConnection::Open();
        EXPECT_TRUE(connection.ok());
        xcb_connection_t* conn = connection.value()->Get();
        const xcb_setup_t* setup = xcb_get_setup(conn);
        auto* reply = xcb_get_keyboard_mapping_reply(
            conn,
            xcb_get_keyboard_mapping(
                conn, setup->min_keycode,
                static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1)),
            nullptr);
        std::string dump;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
        for (int i = 0; i < xcb_get_keyboard_mapping_keysyms_length(reply); ++i) {
            dump += std::to_string(syms[i]) + ",";
        }
        free(reply);
        Expected<std::unique_ptr<CXkbSnapshot>> snapshot = CXkbSnapshot::Take(*connection.value());
        char* text =
            xkb_keymap_get_as_string(snapshot.value()->Keymap(), XKB_KEYMAP_FORMAT_TEXT_V1);
        dump += text;
        free(text);
        return dump;
    }

    // Keys the server holds down now.
    int KeysDown() {
        xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
        auto* reply = xcb_query_keymap_reply(conn, xcb_query_keymap(conn), nullptr);
        int down = 0;
        for (std::uint8_t byte : reply->keys) {
            down += __builtin_popcount(byte);
        }
        free(reply);
        xcb_disconnect(conn);
        return down;
    }

    CX11Keyboard m_keyboard;
    CNoTextSetters m_noSetters;
    CThreadSleeper m_sleeper;
    std::atomic<bool> m_runActive{true};
    KeystrokeServices m_services{m_keyboard, m_noSetters, m_sleeper, m_runActive};
};

// ASCII, Latin-1 accents, Cyrillic, Greek, CJK, an emoji and a tab.
const std::u16string kMixed =
    u"Hi yz@ \u00e9\u00df\u00c0 \u0436\u0416 \u03b1\u03a9 \u4e2d\U0001F600\tok";

TEST_F(X11KeyboardTest, TheUnicodeMethodDeliversEveryCharacterUnderEveryLayout) {
    StartRecorder();
    for (const char* layout : {"us", "de", "fr", "ru"}) {
        SetLayout(layout);
        const std::string before = KeymapNow();
        ASSERT_TRUE(Type(kMixed, kUnicode).ok());
        const Received received = CollectReceived();
        EXPECT_EQ(received.m_strText, Utf8FromUtf16(kMixed)) << layout;
        EXPECT_EQ(received.m_iBells, 0) << layout;
        EXPECT_EQ(KeymapNow(), before) << layout;
        EXPECT_EQ(KeysDown(), 0) << layout;
    }
}

TEST_F(X11KeyboardTest, TheLayoutMethodTypesWhatTheLayoutHasAndBeepsForTheRest) {
    StartRecorder();
    // What each layout has, as the server's own keymap dump (xkbcomp) lists it: de and fr have
    // ß and Ω through AltGr, fr has é, de makes é and both make À with their dead accent keys, ru
    // has no Latin letters and no @.
    const struct {
        const char* layout;
        const char* typed;  // UTF-8
        int bells;          // one per code unit the layout lacks (two for the emoji)
    } cases[] = {
        {"us", "Hi yz@    \tok", 10},
        {"de", "Hi yz@ \u00e9\u00df\u00c0  \u03a9 \tok", 6},
        {"fr", "Hi yz@ \u00e9\u00df\u00c0  \u03a9 \tok", 6},
        {"ru", "   \u0436\u0416  \t", 15},
    };
    for (const auto& c : cases) {
        SetLayout(c.layout);
        ASSERT_TRUE(Type(kMixed, kLayout).ok());
        const Received received = CollectReceived();
        EXPECT_EQ(received.m_strText, c.typed) << c.layout;
        EXPECT_EQ(received.m_iBells, c.bells) << c.layout;
        EXPECT_EQ(KeysDown(), 0) << c.layout;
    }
}

TEST_F(X11KeyboardTest, TheLayoutMethodTypesWhatTheLayoutComposesWithItsDeadKeys) {
    StartRecorder();
    std::u16string ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        ascii.push_back(c);
    }
    std::u16string all = ascii;
    for (char16_t c = 0xC0; c <= 0xFF; ++c) {
        if (c != 0xD7 && c != 0xF7) {
            all.push_back(c);  // the Latin-1 letters
        }
    }
    // Besides all of ASCII, letters each layout is known to make with its dead keys (de and us
    // intl have ^ ` and ' " ` ^ ~ only on dead keys).
    const struct {
        const char* layout;
        const char* variant;
        std::u16string mustArrive;
    } cases[] = {
        {"de", "",
         u"\u00e2\u00ea\u00ee\u00f4\u00fb\u00c2\u00ca\u00d4\u00e0\u00e8\u00f9\u00c0\u00c8"
         u"\u00e1\u00e9\u00ed\u00f3\u00fa\u00fd\u00c1\u00c9\u00dd"},
        {"fr", "",
         u"\u00e2\u00ea\u00ee\u00f4\u00fb\u00c2\u00ca\u00d4\u00e4\u00eb\u00ef\u00f6\u00fc"
         u"\u00ff\u00c4\u00cb\u00d6"},
        {"us", "intl",
         u"\u00e1\u00e9\u00ed\u00f3\u00fa\u00c1\u00c9\u00e0\u00e8\u00e2\u00ea\u00e3"
         u"\u00f5\u00f1\u00d1\u00e4\u00eb\u00f6\u00fc\u00c4"},
    };
    for (const auto& c : cases) {
        SetLayout(c.layout, c.variant);
        const std::string before = KeymapNow();
        ASSERT_TRUE(Type(all, kLayout).ok());
        // A dead key left pending by the first message would change this one's letter.
        ASSERT_TRUE(Type(u"e", kLayout).ok());
        const Received received = CollectReceived();
        std::u16string got = Utf16FromUtf8(received.m_strText);
        ASSERT_FALSE(got.empty()) << c.layout;
        EXPECT_EQ(got.back(), u'e') << c.layout;
        got.pop_back();
        // What arrived is the text less what the layout cannot type, with one bell for each of
        // those.
        std::u16string skipped;
        std::size_t matched = 0;
        for (char16_t sent : all) {
            if (matched < got.size() && got[matched] == sent) {
                ++matched;
            } else {
                skipped.push_back(sent);
            }
        }
        EXPECT_EQ(matched, got.size())
            << c.layout << ": something else arrived: " << received.m_strText;
        EXPECT_EQ(received.m_iBells, static_cast<int>(skipped.size())) << c.layout;
        for (char16_t wanted : ascii + c.mustArrive) {
            EXPECT_EQ(skipped.find(wanted), std::u16string::npos)
                << c.layout << " " << c.variant << ": lost "
                << Utf8FromUtf16(std::u16string(1, wanted));
        }
        EXPECT_EQ(KeymapNow(), before) << c.layout;
        EXPECT_EQ(KeysDown(), 0) << c.layout;
    }
}

TEST_F(X11KeyboardTest, ModifiersAreHeldExactlyForTheCharactersThatNeedThem) {
    StartRecorder();
    SetLayout("de");
    ASSERT_TRUE(Type(u"aA@", kLayout).ok());
    const Received received = CollectReceived();
    ASSERT_EQ(received.m_strText, "aA@");
    EXPECT_EQ(received.m_states[0] & 0xFF, 0u);
    EXPECT_EQ(received.m_states[1] & 0xFF, 0x1u);   // Shift
    EXPECT_EQ(received.m_states[2] & 0xFF, 0x80u);  // Mod5: AltGr
}

TEST_F(X11KeyboardTest, CapsLockDoesNotChangeWhatIsTyped) {
    StartRecorder();
    SetLayout("us");
    ASSERT_EQ(test::RunCommand({"xdotool", "key", "Caps_Lock"}), 0);
    ASSERT_TRUE(Type(u"aB1", kLayout).ok());
    ASSERT_TRUE(Type(u"cD\u00e9", kUnicode).ok());
    EXPECT_EQ(CollectReceived().m_strText, "aB1cD\u00e9");
    // The lock is the user's: it is on again afterwards.
    Expected<std::unique_ptr<CXcbConnection>> connection = CXcbConnection::Open();
    ASSERT_TRUE(connection.ok());
    Expected<std::unique_ptr<CXkbSnapshot>> snapshot = CXkbSnapshot::Take(*connection.value());
    ASSERT_TRUE(snapshot.ok());
    EXPECT_GT(xkb_state_mod_name_is_active(snapshot.value()->State(), XKB_MOD_NAME_CAPS,
                                           XKB_STATE_MODS_LOCKED),
              0);
}

TEST_F(X11KeyboardTest, TenThousandCharactersArriveWholeAndInOrder) {
    StartRecorder();
    SetLayout("us");
    std::u16string text;
    const std::u16string pieces[] = {
        u"quick brown fox ", u"\u00e9\u00c9", u"\u0436", u"\u4e2d\u6587",
        u"\U0001F600",       u"^`~",          u"\t"};
    for (std::size_t i = 0; text.size() < 10000; ++i) {
        text += pieces[i % std::size(pieces)];
    }
    text.resize(10000);
    const std::string before = KeymapNow();
    ASSERT_TRUE(Type(text, kUnicode).ok());
    const Received received = CollectReceived(120000);
    EXPECT_EQ(FirstDifference(received.m_strText, Utf8FromUtf16(text)), "");
    EXPECT_EQ(KeymapNow(), before);
    EXPECT_EQ(KeysDown(), 0);
}

TEST_F(X11KeyboardTest, MoreMissingCharactersThanSpareKeysAreBoundInTurns) {
    StartRecorder();
    SetLayout("us");
    std::u16string text;
    for (char16_t c = 0x4E00; c < 0x4E00 + 400; ++c) {
        text.push_back(c);
    }
    const std::string before = KeymapNow();
    ASSERT_TRUE(Type(text, kUnicode).ok());
    EXPECT_EQ(FirstDifference(CollectReceived(60000).m_strText, Utf8FromUtf16(text)), "");
    EXPECT_EQ(KeymapNow(), before);
}

TEST_F(X11KeyboardTest, MissingCharactersStayBoundWhileTheirKeysAreNotNeeded) {
    StartRecorder();
    // 30 different Cyrillic letters, more than the spare keys, in turn 20 times between words.
    std::u16string text;
    for (int round = 0; round < 20; ++round) {
        for (char16_t c = 0x0430; c < 0x0430 + 30; ++c) {
            text += u"ab";
            text.push_back(c);
        }
    }
    for (const char* layout : {"us", "de"}) {
        SetLayout(layout);
        const std::string before = KeymapNow();
        xcb_connection_t* watcher = xcb_connect(nullptr, nullptr);
        free(xcb_get_input_focus_reply(watcher, xcb_get_input_focus(watcher), nullptr));
        ASSERT_TRUE(Type(text, kUnicode).ok());
        EXPECT_EQ(FirstDifference(CollectReceived(60000).m_strText, Utf8FromUtf16(text)), "")
            << layout;
        free(xcb_get_input_focus_reply(watcher, xcb_get_input_focus(watcher), nullptr));
        int changes = 0;
        while (xcb_generic_event_t* event = xcb_poll_for_event(watcher)) {
            changes += (event->response_type & 0x7F) == XCB_MAPPING_NOTIFY &&
                       reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request ==
                           XCB_MAPPING_KEYBOARD;
            free(event);
        }
        xcb_disconnect(watcher);
        // Rebinding keys for every batch of letters takes two changes per letter (measured: 1,139
        // for these 600); letters kept bound while their keys are not needed take fewer than one.
        EXPECT_LT(changes, 600) << layout;
        EXPECT_EQ(KeymapNow(), before) << layout;
        EXPECT_EQ(KeysDown(), 0) << layout;
    }
}

TEST_F(X11KeyboardTest, EnterAndAStoppedRun) {
    StartRecorder();
    SetLayout("us");
    TypingJob job;
    job.m_strText = u"abc";
    job.m_bEnterBefore = true;
    job.m_bEnterAfter = true;
    job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
    m_runActive = false;
    ASSERT_TRUE(RunTypingJob(m_services, job).ok());
    EXPECT_EQ(CollectReceived().m_strText, "\r\r");
}

TEST_F(X11KeyboardTest, LoneSurrogatesTypeNothingAndHurtNothing) {
    StartRecorder();
    SetLayout("us");
    const std::u16string halves = {0xD800, u'a', 0xDC00, 0xDBFF, 0xDBFF, u'b', 0xDFFF};
    ASSERT_TRUE(Type(halves, kUnicode).ok());
    ASSERT_TRUE(Type(halves, kLayout).ok());
    const Received received = CollectReceived();
    EXPECT_EQ(received.m_strText, "abab");
    EXPECT_EQ(received.m_iBells, 5);  // the layout method beeps for each half it cannot type
    EXPECT_EQ(KeysDown(), 0);
}

TEST_F(X11KeyboardTest, AServerThatGoesAwayMidMessageEndsTheMessageNotTheProgram) {
    // A server on a display number of its own: the lowest numbers that other tests' servers take
    // could otherwise be handed to one of them as soon as this one is gone.
    const std::string display = ":" + std::to_string(5000 + ::getpid() % 1000);
    auto server = std::make_unique<test::CChildProcess>(
        std::vector<std::string>{"Xvfb", display, "-noreset", "-nolisten", "tcp"});
    ::setenv("DISPLAY", display.c_str(), 1);
    bool up = false;
    for (int i = 0; i < 200 && !up; ++i) {
        xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
        up = xcb_connection_has_error(probe) == 0;
        xcb_disconnect(probe);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(up) << "Xvfb " << display << " did not start";
    std::thread killer([&server] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server.reset();  // the X server is gone
    });
    // A long message with pauses: it is still being typed when the server goes.
    const Status typed = Type(std::u16string(200, u'k'), kUnicode, 5);
    killer.join();
    EXPECT_TRUE(typed.ok());  // the message ended; nothing hung or crashed
    const Status next = Type(u"again", kUnicode);
    ASSERT_FALSE(next.ok());
    EXPECT_NE(next.reason().find(u"Cannot connect to the X display"), std::u16string::npos);
}

TEST_F(X11KeyboardTest, ANoDisplayIsAFailureNotACrash) {
    ::setenv("DISPLAY", ":99999", 1);
    const Status status = Type(u"x", kUnicode);
    ASSERT_FALSE(status.ok());
    EXPECT_NE(status.reason().find(u"Cannot connect to the X display \":99999\""),
              std::u16string::npos);
    ::unsetenv("DISPLAY");
    EXPECT_NE(Type(u"x", kUnicode).reason().find(u"No X display"), std::u16string::npos);
}

}  // namespace
}  // namespace quenby
