// The Wayland keyboard: the keymaps it makes, typing on a headless sway of each test's own into a
// GTK 3 recorder, and the built program on such a sway, started and stopped by a key the
// compositor binds to `quenby --toggle`, setting text into the focused field through
// accessibility, and stopping when another window takes the focus.
#include <gtest/gtest.h>
#include <signal.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include "engine/MessageList.h"
#include "engine/WideText.h"
#include "input/ThreadSleeper.h"
#include "input/TypingJob.h"
#include "linux/wayland/VirtualKeymap.h"
#include "linux/wayland/WaylandKeyboard.h"
#include "storage/DataFileCodec.h"
#include "support/AppTable.h"
#include "support/XDisplayFixture.h"  // FirstDifference
#include "wayland/HeadlessSway.h"
#include "wayland/MixedText.h"
#include "wayland/UserKeyboard.h"

namespace quenby {
namespace {

using namespace std::chrono_literals;

// Compiles a keymap as the compositor and every client will; null when it does not compile.
std::shared_ptr<xkb_keymap> Compile(const std::string& text) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_string(
        context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);  // the keymap holds the context
    return std::shared_ptr<xkb_keymap>(keymap, xkb_keymap_unref);
}

// A keymap past its capacity: its first characters, then CJK ones that find no key any more.
TEST(VirtualKeymapTest, EveryKeyTypesItsOwnCharacterWhateverTheModifiersAndNeverAControlKey) {
    // Control characters come out as their keys, a line feed as Return.
    const std::u32string characters =
        U"aA\u00a0\u00e9\u00c9\u0436\u0416\u03a9\u4e2d\U0001F600~^`\t\r\n\b\x1b\x7f";
    const std::u32string typed =
        U"aA\u00a0\u00e9\u00c9\u0436\u0416\u03a9\u4e2d\U0001F600~^`\t\r\r\b\x1b\x7f";
    std::vector<xkb_keysym_t> keysyms;
    for (char32_t c : characters) {
        keysyms.push_back(CVirtualKeymap::KeysymFor(c));
    }
    for (char32_t c = 0x5000; keysyms.size() < CVirtualKeymap::kCapacity + 30; ++c) {
        keysyms.push_back(CVirtualKeymap::KeysymFor(c));
    }
    const CVirtualKeymap keymap(keysyms);
    const std::shared_ptr<xkb_keymap> compiled = Compile(keymap.Text());
    ASSERT_NE(compiled, nullptr) << keymap.Text();
    // Capitals stay capitals and small letters small, also with Shift held or Caps Lock on.
    const xkb_mod_index_t shift = xkb_keymap_mod_get_index(compiled.get(), XKB_MOD_NAME_SHIFT);
    const xkb_mod_index_t lock = xkb_keymap_mod_get_index(compiled.get(), XKB_MOD_NAME_CAPS);
    ASSERT_NE(shift, XKB_MOD_INVALID);
    ASSERT_NE(lock, XKB_MOD_INVALID);
    for (const bool shifted : {false, true}) {
        xkb_state* state = xkb_state_new(compiled.get());
        if (shifted) {
            xkb_state_update_mask(state, 1u << shift, 0, 1u << lock, 0, 0, 0);
        }
        for (std::size_t i = 0; i < characters.size(); ++i) {
            const xkb_keycode_t key = keymap.KeyFor(keysyms[i]);
            ASSERT_GT(key, 8u) << i;
            EXPECT_EQ(xkb_state_key_get_utf32(state, key), typed[i]) << i << " " << shifted;
        }
        xkb_state_unref(state);
    }
    // Other control characters and surrogate halves have no key.
    for (const char32_t none : {0x01, 0x85, 0x9F, 0xD800, 0xDFFF}) {
        EXPECT_EQ(CVirtualKeymap::KeysymFor(none), XKB_KEY_NoSymbol) << static_cast<int>(none);
    }
    // The control keys are on their own keys: Enter, Tab, Backspace, Escape, Delete.
    const std::pair<xkb_keysym_t, std::uint32_t> controls[] = {{XKB_KEY_Return, 28},
                                                               {XKB_KEY_Tab, 15},
                                                               {XKB_KEY_BackSpace, 14},
                                                               {XKB_KEY_Escape, 1},
                                                               {XKB_KEY_Delete, 111}};
    for (const auto& [keysym, evdev] : controls) {
        EXPECT_EQ(keymap.KeyFor(keysym), evdev + 8) << keysym;
    }
    // Text never lands on a key (evdev numbering) a client may act on whatever symbol it carries:
    // Escape, Backspace, Tab, Enter, the modifiers, Caps/Num/Scroll Lock, F1-F24, the Japanese
    // input keys, keypad Enter, Print, navigation and editing keys, media, power, browser and
    // launch keys; nor on the numbers no physical key has (Chromium drops such keys).
    const auto forbidden = [](std::uint32_t evdev) {
        return evdev == 1 || evdev == 14 || evdev == 15 || evdev == 28 || evdev == 29 ||
               evdev == 42 || evdev == 54 || evdev == 56 || (evdev >= 58 && evdev <= 70) ||
               evdev == 84 || evdev == 85 || evdev == 87 || evdev == 88 ||
               (evdev >= 90 && evdev <= 97) || (evdev >= 99 && evdev <= 116) ||
               (evdev >= 118 && evdev <= 120) || evdev == 122 || evdev == 123 || evdev >= 125;
    };
    // Enough for the printable ASCII characters in two keymaps, and a whole alphabet in one.
    static_assert(CVirtualKeymap::kCapacity >= 64);
    std::size_t text = 0;
    for (xkb_keysym_t keysym : keysyms) {
        const xkb_keycode_t key = keymap.KeyFor(keysym);
        const bool control = std::any_of(std::begin(controls), std::end(controls),
                                         [&](const auto& c) { return c.first == keysym; });
        if (key != 0 && !control) {
            ++text;
            EXPECT_FALSE(forbidden(key - 8)) << "text on evdev key " << key - 8;
        }
    }
    EXPECT_EQ(text, CVirtualKeymap::kCapacity);
}

TEST(VirtualKeymapTest, ChunksHoldAtMostTheirCapacityInTextOrder) {
    // 450 distinct CJK characters, then the first of them again (it joins the last chunk, which
    // has room), and control keys throughout (every keymap has them).
    constexpr std::size_t kDistinct = 450;
    std::vector<xkb_keysym_t> text;
    for (char32_t c = 0x4E00; c < 0x4E00 + kDistinct; ++c) {
        text.push_back(CVirtualKeymap::KeysymFor(c));
        text.push_back(XKB_KEY_Return);
    }
    text.push_back(CVirtualKeymap::KeysymFor(0x4E00));
    const auto chunks = CVirtualKeymap::Chunks(text);
    constexpr std::size_t kFull = kDistinct / CVirtualKeymap::kCapacity;
    ASSERT_EQ(chunks.size(), kFull + 1);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_EQ(chunks[i].size(), i < kFull ? CVirtualKeymap::kCapacity
                                              : kDistinct % CVirtualKeymap::kCapacity + 1);
        const CVirtualKeymap keymap(chunks[i]);
        const std::shared_ptr<xkb_keymap> compiled = Compile(keymap.Text());
        ASSERT_NE(compiled, nullptr);
        // X clients behind XWayland read no keycode past 255.
        EXPECT_LE(xkb_keymap_max_keycode(compiled.get()), 255u);
        for (xkb_keysym_t keysym : chunks[i]) {
            EXPECT_TRUE(keymap.Has(keysym));
        }
        EXPECT_TRUE(keymap.Has(XKB_KEY_Return));
    }
    EXPECT_EQ(chunks[1].front(), CVirtualKeymap::KeysymFor(0x4E00 + CVirtualKeymap::kCapacity));
    EXPECT_TRUE(CVirtualKeymap::IsOurs(CVirtualKeymap(chunks[0]).Text()));
    EXPECT_FALSE(CVirtualKeymap::IsOurs("xkb_keymap { xkb_keycodes \"evdev+aliases(qwerty)\""));
}

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

class WaylandKeyboardTest : public ::testing::Test {
protected:
    // A keyboard of the user's from before the recorder starts to the end, as a desktop has: a
    // client takes a keyboard the seat gains only some time after it is told of it, and keys sent
    // before then never reach it (on a loaded machine, the first keys of a message).
    void SetUp() override {
        ASSERT_EQ(m_sway.Failure(), "");
        UseUserLayout("us");
        std::unique_ptr<test::CChildProcess> recorder = m_sway.StartGtkRecorder();
        ASSERT_NE(recorder, nullptr) << "the GTK recorder was not focused";
        m_recorder.Watch(std::move(recorder));
    }

    // Types a text and then the end marker, and returns what the recorder received before it.
    std::string TypeAndRecord(const std::u16string& text, int method = kUnicode,
                              std::uint32_t pauseMin = 0, std::uint32_t pauseMax = 0) {
        EXPECT_TRUE(test::TypeMarked(m_typing.m_services, text, method, pauseMin, pauseMax));
        std::string received;
        EXPECT_TRUE(m_recorder.Read(received, 120000))
            << "no end marker: the recorder lost its connection or keys were lost";
        return received;
    }

    // Another keyboard of the user's, with this layout, made before the one it replaces goes:
    // the seat never loses its keyboard.
    void UseUserLayout(const char* layout) {
        auto keyboard = std::make_unique<test::CUserKeyboard>(layout);
        ASSERT_TRUE(keyboard->Ready()) << layout;
        m_userKeyboard = std::move(keyboard);
    }

    test::CHeadlessSway m_sway;
    std::unique_ptr<test::CUserKeyboard> m_userKeyboard;
    test::CAppReceiver m_recorder;
    std::atomic<int> m_iBeeps{0};
    test::CTypingServices<CWaylandKeyboard> m_typing{WaylandPacing{}, [this] { ++m_iBeeps; }};
};

// The compositor goes away mid-message (or was never there): keys cannot be sent, and the run is
// told why.
TEST_F(WaylandKeyboardTest, ACompositorThatGoesAwayIsAFailureThatSaysWhy) {
    Expected<std::unique_ptr<IKeyboardOutput>> output = m_typing.m_keyboard.OpenOutput();
    ASSERT_TRUE(output.ok());
    output.value()->PressEnter();
    EXPECT_TRUE(output.value()->SendStatus().ok());
    output.value()->SendKey(50, true);  // Shift held when it goes: closing must not hang on it
    ASSERT_TRUE(output.value()->SendStatus().ok());
    m_recorder = {};
    m_sway.Stop();
    for (int i = 0; i < 100 && output.value()->SendStatus().ok(); ++i) {
        output.value()->SendKey(38, true);  // the next burst of keys finds the socket closed
        output.value()->SendKey(38, false);
    }
    EXPECT_NE(output.value()->SendStatus().reason().find(u"Wayland compositor was lost"),
              std::u16string::npos);
    output.value().reset();
    // Nor does a keyboard open without it, and that is no crash either.
    EXPECT_EQ(OpenWaylandKeyboard(), nullptr);
    const Expected<std::unique_ptr<IKeyboardOutput>> again = m_typing.m_keyboard.OpenOutput();
    ASSERT_FALSE(again.ok());
    EXPECT_NE(again.reason().find(u"Cannot connect to the Wayland display"), std::u16string::npos);
}

// Every script, both cases, symbols that are dead keys on some layouts, tab and line breaks.
const std::u16string kMixed =
    u"Hi yz@ ~^`'\"\u00a0\u00e9\u00c9\u00df\u00e0\u00c0\u00f1\u00d1 \u0436\u0416\u0449 \u03b1\u03a9"
    u"\u03c2 \u4e2d\u6587\u65e5\u672c \U0001F600\U0001F44D \u20ac\u00a7\u00b0\u2192\tok\nend\r!";

TEST_F(WaylandKeyboardTest, TheUnicodeMethodDeliversEveryScriptAndTenThousandCharactersExactly) {
    // Line breaks arrive as the text view stores them: carriage return becomes line feed. (Other
    // pauses and the applications people use are the application table's; here a least pause
    // past the greatest.)
    std::string wanted = Utf8FromUtf16(kMixed);
    wanted[wanted.size() - 2] = '\n';
    EXPECT_EQ(test::FirstDifference(TypeAndRecord(kMixed, kUnicode, 3, 0), wanted), "");
    // More than 200 distinct characters: the text needs several keymaps of ours. Every core is
    // busy meanwhile: the window, which tells nothing of what it has taken in, still keeps up.
    const std::u16string text = test::MixedText(10000, 600);
    {
        const test::CBusyCores busy;
        EXPECT_EQ(test::FirstDifference(TypeAndRecord(text), Utf8FromUtf16(text)), "");
    }
    EXPECT_EQ(m_iBeeps, 0);
    // A key left down would repeat in the recorder once its repeat delay has passed: wait past
    // it (sway's default is 600 ms) and nothing more may have arrived. After that the recorder
    // is still connected, and still typing.
    std::string line;
    EXPECT_FALSE(m_recorder.Reporter()->ReadLine(line, 1000)) << line;
    EXPECT_EQ(TypeAndRecord(u"after"), "after");
}

// What the user's layout lacks is beeped for. (What it reaches only through its dead keys arrives
// composed: the application table types that into real applications.)
TEST_F(WaylandKeyboardTest, TheLayoutMethodTypesWhatTheUsersLayoutHasAndBeepsForTheRest) {
    const std::u16string some = u"aA@ \u00df\u20ac~\u0436";
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
        UseUserLayout(c.layout);
        ASSERT_FALSE(HasFatalFailure());
        m_iBeeps = 0;
        EXPECT_EQ(test::FirstDifference(TypeAndRecord(some, kLayout), c.typed), "") << c.layout;
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
        m_typing.m_runActive = false;
        ASSERT_TRUE(RunTypingJob(m_typing.m_services, job).ok());
        m_typing.m_runActive = true;
        EXPECT_EQ(TypeAndRecord(u""), "\n\n") << method;
    }
}

// A process's state in /proc/PID/stat, after its name: T stopped (by SIGSTOP), Z ended.
char ProcessState(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string line(std::istreambuf_iterator<char>(stat), {});
    const std::size_t name = line.rfind(')');
    return name != std::string::npos && line.size() > name + 2 ? line[name + 2] : '?';
}

// A burst of keys goes out only once the compositor has taken in the one before: while the
// compositor is frozen, at most the burst under way leaves. A fixed pace alone would keep writing,
// and a busy compositor would later pass the pile on to the focused client in one go.
TEST(WaylandPacingTest, NoBurstGoesOutBeforeTheCompositorHasTakenInTheOneBefore) {
    test::CHeadlessSway sway;
    ASSERT_EQ(sway.Failure(), "");
    const WaylandPacing pacing;
    std::atomic<int> pressed{0};
    std::atomic<bool> stop{false};
    std::thread typist([&] {
        Expected<std::unique_ptr<IKeyboardOutput>> output = CWaylandKeyboard(pacing).OpenOutput();
        ASSERT_TRUE(output.ok());
        output.value()->BeginUnicodeText(u"a");
        while (!stop && pressed < 100000) {
            output.value()->SendUnicodeUnit(u'a', true);
            ++pressed;
            output.value()->SendUnicodeUnit(u'a', false);
        }
        output.value()->EndUnicodeText();
    });
    const auto until = [&](const std::function<bool()>& done, std::chrono::milliseconds limit) {
        for (const auto end = std::chrono::steady_clock::now() + limit;
             !done() && std::chrono::steady_clock::now() < end;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    };
    // Typing is under way (its keymap is uploaded) before the compositor freezes.
    EXPECT_TRUE(until([&] { return pressed > 3 * pacing.m_iKeysPerBurst; }, 20s));
    ::kill(sway.Pid(), SIGSTOP);
    EXPECT_TRUE(until([&] { return ProcessState(sway.Pid()) == 'T'; }, 20s));
    const int before = pressed;
    // Well within the keyboard's longest wait for an answer (after it, it gives up waiting).
    until([&] { return pressed > before + 2 * pacing.m_iKeysPerBurst; },
          CWaylandSession::kLongestWait / 6);
    const int during = pressed - before;
    ::kill(sway.Pid(), SIGCONT);
    stop = true;
    typist.join();
    // At most the rest of the burst under way, or one whole burst when the compositor had
    // answered the round trip before it but the answer was not yet read.
    EXPECT_LE(during, pacing.m_iKeysPerBurst) << "keys went out to a compositor that took none in";
}

constexpr int kStartMs = 30000;
constexpr const char* kQuenbyTitle = "list - Quenby by Holvane";

class WaylandDesktopTest : public ::testing::Test {
protected:
    // The user's binding, as they would write it in their sway configuration.
    WaylandDesktopTest()
        : m_sway("bindsym --release Ctrl+Shift+Pause exec " QUENBY_PROGRAM " --toggle\n") {}

    // A keyboard of the user's from the start to the end, as a desktop has: GTK calls a window
    // active (and says so on the accessibility bus) only while a keyboard is in it, and a
    // headless seat has none until one is made, and none again once the last one goes.
    void SetUp() override {
        ASSERT_EQ(m_sway.Failure(), "");
        m_userKeyboard = std::make_unique<test::CUserKeyboard>("us");
        ASSERT_TRUE(m_userKeyboard->Ready());
    }

    // Writes the profile, and the list Quenby opens (the notice on binding the key was seen
    // before), then starts Quenby natively on the compositor (XWayland is off there) and waits
    // for its window.
    void StartQuenby(const std::string& settings, const MessageItem& message) {
        m_sway.WriteHomeFile(
            ".config/Holvane/Quenby by Holvane.conf",
            "[Settings]\n" + settings + "[DontShowAgain]\n{quenby-wayland-binding-wlroots}=1\n");
        CMessageList list;
        list.AddMessageItem(0, message);
        Expected<std::vector<std::uint8_t>> bytes =
            EncodeDataFile(list, DataFileFormFor("list.quenbydata"), nullptr);
        ASSERT_TRUE(bytes.ok());
        m_sway.WriteHomeFile("list.quenbydata",
                             std::string(bytes.value().begin(), bytes.value().end()));
        m_quenby = m_sway.Run({QUENBY_PROGRAM, m_sway.Home() + "/list.quenbydata"},
                              {"QT_QPA_PLATFORM=wayland", "XDG_CURRENT_DESKTOP=sway"});
        ASSERT_TRUE(m_sway.WaitForFocusedWindow(kQuenbyTitle, kStartMs)) << "no Quenby window";
    }
    // Ctrl+Shift+Pause (evdev 119) on the user's keyboard.
    void PressBoundKey() { ASSERT_TRUE(m_userKeyboard->PressWithControlShift(119)); }

    test::CHeadlessSway m_sway;
    std::unique_ptr<test::CUserKeyboard> m_userKeyboard;
    std::unique_ptr<test::CChildProcess> m_quenby;
};

TEST_F(WaylandDesktopTest, AKeyBoundInSwayStartsAndStopsTheRun) {
    // Endless, a second between messages: the stop falls between two of them.
    StartQuenby(
        "m_iCount=0\nm_iKeyInputMethod=0\n",
        MessageItem{u"typed on sway \u00e9\u4e2d\U0001F600\ue000", 1, 0, false, false, 0, 0});
    std::unique_ptr<test::CChildProcess> recorder = m_sway.StartGtkRecorder();
    ASSERT_NE(recorder, nullptr);

    PressBoundKey();
    std::string text;
    ASSERT_TRUE(test::ReadRecordedText(*recorder, text, 20000)) << "nothing typed";
    EXPECT_EQ(text, "typed on sway \u00e9\u4e2d\U0001F600");
    PressBoundKey();
    // A message under way when the key came is finished; after that nothing more comes.
    int after = 0;
    while (test::ReadRecordedText(*recorder, text, 3000)) {
        EXPECT_EQ(text, "typed on sway \u00e9\u4e2d\U0001F600");
        ASSERT_LE(++after, 1) << "the run did not stop";
    }
}

// Wayland tells Quenby nothing of other windows, but Qt knows when its own window has the focus:
// a run started there types nothing into it (Enter would open the editor) and says why.
TEST_F(WaylandDesktopTest, ARunStartedInQuenbysOwnWindowTypesNothingThere) {
    StartQuenby("m_iCount=1\nm_iKeyInputMethod=0\n",
                MessageItem{u"good day", 0, 0, true, true, 0, 0});
    PressBoundKey();
    EXPECT_TRUE(m_sway.WaitForFocusedWindow("Quenby by Holvane", kStartMs)) << "no notice";
    EXPECT_FALSE(m_sway.WaitForFocusedWindow("Add Message - Quenby by Holvane", 2000));
}

TEST_F(WaylandDesktopTest, SetTextGoesIntoTheFocusedFieldAndNeverIntoAReadOnlyOne) {
    StartQuenby("m_iCount=1\nm_iKeyInputMethod=0\nTextSettingUp=1\n",
                MessageItem{u"set \u00e9\U0001F600xyz", 0, 0, false, false, 0, 0});
    auto entry = m_sway.StartGtkRecorder(true, {"entry"});
    ASSERT_NE(entry, nullptr);
    PressBoundKey();
    // Set whole: typed keys would have added to "before" one by one.
    EXPECT_TRUE(entry->WaitForLine("CHANGED " + test::Hex("set \u00e9\U0001F600xyz"), 20000));
    for (const std::string& line : entry->Lines()) {
        // The user's own keys reach the entry: a release binding lets the press through (Pause
        // with Ctrl is Break).
        if (line != "KEY Control_L" && line != "KEY Shift_L" && line != "KEY Break") {
            EXPECT_EQ(line.rfind("KEY ", 0), std::string::npos) << "typed, not set: " << line;
        }
    }
    entry.reset();

    auto readOnly = m_sway.StartGtkRecorder(true, {"entry", "readonly"});
    ASSERT_NE(readOnly, nullptr);
    PressBoundKey();
    // The message is typed instead, and the field takes none of it.
    EXPECT_TRUE(readOnly->WaitForLine("KEY z", 20000));
    for (const std::string& line : readOnly->Lines()) {
        EXPECT_EQ(line.rfind("CHANGED ", 0), std::string::npos) << line;
    }
}

// The applications announce the focus on the accessibility bus: another window taking it stops the
// run before the next character (the notice comes up), the fields of one window do not.
TEST_F(WaylandDesktopTest, AnotherWindowTakingTheFocusStopsTheRunItsOwnFieldsDoNot) {
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
    std::u16string text;
    for (int i = 0; i < 8; ++i) {
        text.append(alphabet.begin(), alphabet.end());
    }
    StartQuenby("m_iCount=1\nm_iKeyInputMethod=0\n",
                MessageItem{text, 0, 0, false, false, 300, 300});
    auto first = m_sway.StartGtkRecorder(true, {"entry"});
    ASSERT_NE(first, nullptr);
    PressBoundKey();
    ASSERT_TRUE(first->WaitForLine("CHANGED " + test::Hex("beforeab"), 20000)) << "not typed";
    // Not waited for on the accessibility bus: the stop notice takes the focus from it at once.
    auto second = m_sway.Run({"python3", QUENBY_WAYLAND_RECORDER, "entry"},
                             {"GDK_BACKEND=wayland", "NO_AT_BRIDGE=0"});
    ASSERT_TRUE(second->WaitForLine("READY", kStartMs));
    EXPECT_TRUE(m_sway.WaitForFocusedWindow("Quenby by Holvane", kStartMs)) << "no stop notice";
    std::string line;
    while (second->ReadLine(line, 1000)) {
    }
    std::size_t received = 0;
    for (const std::string& changed : second->Lines()) {
        if (changed.rfind("CHANGED ", 0) == 0) {
            received = std::max(received, test::Unhex(changed.substr(8)).size() - 6);
        }
    }
    EXPECT_LE(received, 1u) << "at most the character that was on its way";
    second.reset();
    first.reset();
    m_quenby.reset();

    StartQuenby("m_iCount=1\nm_iKeyInputMethod=0\n",
                MessageItem{u"abcdefgh", 0, 0, false, false, 300, 300});
    auto fields = m_sway.StartGtkRecorder(true, {"fields"});
    ASSERT_NE(fields, nullptr);
    PressBoundKey();
    std::string inFirst;
    std::string inSecond;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (inSecond.empty() || inSecond.back() != 'h') {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the run stopped at " << inSecond;
        if (fields->ReadLine(line, 1000) && line.size() > 7 && line.rfind("FIELD", 0) == 0) {
            (line[5] == '1' ? inFirst : inSecond) = test::Unhex(line.substr(7));
        }
    }
    EXPECT_EQ(inFirst + inSecond, "abcdefgh");
}

// A frozen application reads nothing: only the few keys it has not shown yet go to it (at a fixed
// pace they would pile up until the compositor disconnects it, and it dies). Thawed, it gets the
// rest; a stop ends the wait for it at once; left frozen, the run ends with a notice, and the
// application lives on.
TEST_F(WaylandDesktopTest, AFrozenApplicationIsNeverFloodedAndOneThatStaysFrozenEndsTheRun) {
    std::u16string text;
    for (int i = 0; text.size() < 4000; ++i) {
        text += u"frozen text " + Utf16FromUtf8(std::to_string(i)) + u" ";
    }
    StartQuenby("m_iCount=1\nm_iKeyInputMethod=0\n",
                MessageItem{text + u"\ue000", 0, 0, false, false, 0, 0});
    std::unique_ptr<test::CChildProcess> recorder = m_sway.StartGtkRecorder(true);
    ASSERT_NE(recorder, nullptr);
    std::string received;
    // Frozen once typing is under way, before the whole text is in.
    const auto freezeMidMessage = [&] {
        PressBoundKey();
        std::string line;
        while (line.rfind("RECEIVED", 0) != 0) {
            ASSERT_TRUE(recorder->ReadLine(line, 60000)) << "not typed";
        }
        recorder->Signal(SIGSTOP);
        EXPECT_FALSE(test::ReadRecordedText(*recorder, received, 500)) << "typed before the freeze";
    };
    const auto stop = [&] { return m_sway.Run({QUENBY_PROGRAM, "--stop"})->Wait(); };
    freezeMidMessage();
    ASSERT_FALSE(HasFatalFailure());
    std::this_thread::sleep_for(4s);
    recorder->Signal(SIGCONT);
    ASSERT_TRUE(test::ReadRecordedText(*recorder, received, 120000)) << "disconnected";
    EXPECT_EQ(test::FirstDifference(received, Utf8FromUtf16(text)), "");

    freezeMidMessage();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(stop(), 0) << "no run to stop";
    // Long before the application counts as stopped, no run is left to stop.
    int again = 0;
    for (const auto end = std::chrono::steady_clock::now() + 5s;
         again == 0 && std::chrono::steady_clock::now() < end;) {
        again = stop();
    }
    EXPECT_NE(again, 0) << "the stop did not end the wait";
    recorder->Signal(SIGCONT);

    freezeMidMessage();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(m_sway.WaitForFocusedWindow("Quenby by Holvane", 40000)) << "no notice";
    recorder->Signal(SIGCONT);
    // A client the compositor has disconnected ends as soon as it runs.
    std::this_thread::sleep_for(2s);
    EXPECT_NE(ProcessState(recorder->Pid()), 'Z') << "the application died";
}

}  // namespace
}  // namespace quenby
