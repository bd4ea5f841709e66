#include <xcb/xcb.h>

#include <algorithm>

#include "engine/WideText.h"
#include "fakes/FakeDesktop.h"
#include "input/ThreadSleeper.h"
#include "input/TypingJob.h"
#include "linux/x11/SpareKeyCache.h"
#include "linux/x11/X11Keyboard.h"
#include "support/AppTable.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

class X11KeyboardTest : public test::XDisplayTest {
protected:
    Status Type(const std::u16string& text, int method) {
        TypingJob job;
        job.m_strText = text;
        job.m_iKeyInputMethod = method;
        job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
        return RunTypingJob(m_typing.m_services, job).m_status;
    }

    // Types the messages and returns what arrived; whatever it was, no key stays down and the
    // keymap is left as it was found.
    Received TypeAndCollect(std::initializer_list<std::u16string> messages, int method,
                            const std::string& what) {
        const std::string before = KeymapNow();
        for (const std::u16string& text : messages) {
            EXPECT_TRUE(Type(text, method).ok()) << what;
        }
        const Received received = CollectReceived(120000);
        EXPECT_EQ(KeymapNow(), before) << what;
        EXPECT_EQ(KeysDown(), 0) << what;
        return received;
    }

    // The server's keymap and keyboard state as a client sees them.
    static std::unique_ptr<CXkbSnapshot> Snapshot() {
        Expected<std::unique_ptr<CXcbConnection>> connection = CXcbConnection::Open();
        return std::move(CXkbSnapshot::Take(*connection.value())).value();
    }
    static std::string KeymapNow() {
        char* text = xkb_keymap_get_as_string(Snapshot()->Keymap(), XKB_KEYMAP_FORMAT_TEXT_V1);
        const std::string dump = text;
        free(text);
        return dump;
    }

    // The keymap changes `watcher` was told of since it last looked.
    static int KeymapChanges(xcb_connection_t* watcher) {
        free(xcb_get_input_focus_reply(watcher, xcb_get_input_focus(watcher), nullptr));
        int changes = 0;
        while (xcb_generic_event_t* event = xcb_poll_for_event(watcher)) {
            changes += (event->response_type & 0x7F) == XCB_MAPPING_NOTIFY &&
                       reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request ==
                           XCB_MAPPING_KEYBOARD;
            free(event);
        }
        return changes;
    }
    static bool CapsLocked() {
        return xkb_state_mod_name_is_active(Snapshot()->State(), XKB_MOD_NAME_CAPS,
                                            XKB_STATE_MODS_LOCKED) > 0;
    }

    test::CTypingServices<CX11Keyboard> m_typing;
};

// ASCII with the accents that are dead keys elsewhere, Latin-1 letters, Cyrillic, Greek, CJK, an
// emoji and a tab.
const std::u16string kMixed =
    u"Hi yz@^`~ \u00e9\u00df\u00c0 \u0436\u0416 \u03b1\u03a9 \u4e2d\U0001F600\tok";
// Halves of surrogate pairs with no other half: no character.
const std::u16string kHalves = {0xD800, u'a', 0xDC00, 0xDBFF, 0xDBFF, u'b', 0xDFFF};

TEST_F(X11KeyboardTest, TheLayoutMethodTypesWhatTheLayoutMakesAndBeepsForTheRest) {
    StartRecorder();
    const std::u16string ascii = test::PrintableAscii();
    std::u16string all = ascii + kMixed + kHalves;
    for (char16_t c = 0xC0; c <= 0xFF; ++c) {
        if (c != 0xD7 && c != 0xF7) {
            all.push_back(c);  // the Latin-1 letters
        }
    }
    // What each layout makes, as the server's own keymap dump (xkbcomp) lists it, directly or
    // with its dead keys (de and us intl have ^ ` and ' " ` ^ ~ only on dead keys). The dead-key
    // characters of de and fr the application table types are left to it.
    const struct {
        const char* layout;
        const char* variant;
        std::u16string mustArrive;
        bool capsLock;  // which changes nothing: the lock is released for the text
    } cases[] = {
        {"us", "", ascii, false},
        {"de", "", ascii + u"\u00df\u03a9\u00c0\u00c8\u00e1\u00ed\u00f3\u00fa\u00fd", false},
        {"fr", "", ascii + u"\u00df\u03a9\u00d4\u00e4\u00f6\u00c4\u00cb", false},
        {"us", "intl",
         ascii + u"\u00e1\u00e9\u00ed\u00f3\u00fa\u00c1\u00c9\u00e0\u00e8\u00e2\u00ea\u00e3"
                 u"\u00f5\u00f1\u00d1\u00e4\u00eb\u00f6\u00fc\u00c4",
         false},
        {"ru", "", u"\u0436\u0416 \t1.,", false},  // no Latin letters and no @
        {"us", "", ascii, true},
    };
    for (const auto& c : cases) {
        SetLayout(c.layout, c.variant);
        const std::string what =
            std::string(c.layout) + " " + c.variant + (c.capsLock ? " Caps Lock" : "");
        if (c.capsLock) {
            ASSERT_EQ(test::RunCommand({"xdotool", "key", "Caps_Lock"}), 0);
        }
        // A dead key left pending by the first message would change the second one's letter.
        const Received received = TypeAndCollect({all, u"1"}, kLayout, what);
        std::u16string got = Utf16FromUtf8(received.m_strText);
        ASSERT_FALSE(got.empty()) << what;
        EXPECT_EQ(got.back(), u'1') << what;
        got.pop_back();
        // What arrived is the text less what the layout cannot type, with one bell for each code
        // unit of those.
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
            << what << ": something else arrived: " << Utf8FromUtf16(got);
        EXPECT_EQ(received.m_iBells, static_cast<int>(skipped.size())) << what;
        for (char16_t wanted : c.mustArrive) {
            EXPECT_EQ(skipped.find(wanted), std::u16string::npos)
                << what << ": lost " << Utf8FromUtf16(std::u16string(1, wanted));
        }
        EXPECT_EQ(CapsLocked(), c.capsLock) << what;  // the lock is the user's
    }
}

// Characters the layout lacks are typed on lent keys, a character on each of their two levels,
// the second taken with Shift; keys of vendor functions are lent too, unless another client grabs
// them. Here more different missing characters than keys to lend, case pairs side by side, twice
// over: keys are lent again and again, yet in few keymap changes, and the text stays in order.
TEST_F(X11KeyboardTest, TheUnicodeMethodTypesEveryCharacterWhateverTheLayoutLockAndGrabs) {
    StartRecorder();
    std::u16string letters;
    for (char16_t c = 0x0100; c < 0x0180; ++c) {
        letters.push_back(c);  // Latin Extended-A: capital and small letter in turn
    }
    for (char16_t c = 0x0410; c < 0x0450; ++c) {
        letters.push_back(c);  // Cyrillic capitals, then small letters
    }
    const std::u16string text = kMixed + kHalves + letters + letters;
    const std::string typed = Utf8FromUtf16(kMixed + u"ab" + letters + letters);
    const struct {
        const char* layout;
        bool capsLock;
        bool vendorKeysGrabbed;  // by another client, on the root window
    } cases[] = {
        {"us", false, false}, {"de", false, false}, {"fr", false, false}, {"ru", false, false},
        {"us", true, false},  {"de", true, false},  {"us", false, true},
    };
    for (const auto& c : cases) {
        SetLayout(c.layout);
        const std::string what = std::string(c.layout) + (c.capsLock ? " Caps Lock" : "") +
                                 (c.vendorKeysGrabbed ? " vendor keys grabbed" : "");
        xcb_connection_t* grabber = xcb_connect(nullptr, nullptr);
        if (c.vendorKeysGrabbed) {
            const auto keys = CSpareKeyCache::FindVendorKeys(Snapshot()->Keymap());
            ASSERT_FALSE(keys.empty());
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(grabber)).data->root;
            for (xkb_keycode_t key : keys) {
                xcb_grab_key(grabber, 1, root, XCB_MOD_MASK_ANY, static_cast<xcb_keycode_t>(key),
                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
            }
        }
        if (c.capsLock) {
            ASSERT_EQ(test::RunCommand({"xdotool", "key", "Caps_Lock"}), 0);
        }
        KeymapChanges(grabber);
        const Received received = TypeAndCollect({text}, kUnicode, what);
        EXPECT_EQ(test::FirstDifference(received.m_strText, typed), "") << what;
        EXPECT_EQ(received.m_iBells, 0) << what;
        // Binding each character when it is typed would take a change for each of them (400);
        // characters kept bound while their keys are not needed, and bound in batches, take few.
        EXPECT_LT(KeymapChanges(grabber), 40) << what;
        if (c.capsLock) {
            EXPECT_TRUE(CapsLocked()) << what;  // the lock is the user's
            ASSERT_EQ(test::RunCommand({"xdotool", "key", "Caps_Lock"}), 0);
        }
        xcb_disconnect(grabber);
    }
}

// A server that goes away during a run is the end-to-end tests' concern.
TEST_F(X11KeyboardTest, ANoDisplayIsAFailureThatSaysWhy) {
    ::setenv("DISPLAY", ":99999", 1);
    EXPECT_NE(Type(u"x", kUnicode).reason().find(u"Cannot connect to the X display \":99999\""),
              std::u16string::npos);
    ::unsetenv("DISPLAY");
    EXPECT_NE(Type(u"x", kUnicode).reason().find(u"No X display"), std::u16string::npos);
}

}  // namespace
}  // namespace quenby
