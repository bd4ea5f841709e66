// The built program on its own X server, with its own home: started as a user starts it, driven
// with keys as a user drives it, and judged by what a real target window receives.
#include <signal.h>
#include <sys/wait.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/WideText.h"
#include "linux/atspi/AtspiTextSetter.h"
#include "linux/protection/UserDataProtector.h"
#include "storage/DataFileCodec.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

using namespace std::chrono_literals;

class EndToEndTest : public test::XDisplayTest {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        WithoutSessionBus();  // unless a test starts one: the key file keeps the key
        std::filesystem::create_directories(m_home / ".config/Holvane");
    }
    void TearDown() override {
        m_quenby.reset();
        m_target.reset();
        XDisplayTest::TearDown();
    }

    void WriteProfile(const std::string& settings) {
        WriteBytes(m_home / ".config/Holvane/Quenby by Holvane.conf", "[Settings]\n" + settings);
    }
    static std::string ShortcutCtrlShiftF5() {
        return "StartStopAutomaticTyping Key=116\nStartStopAutomaticTyping Mod=6\n";
    }
    void WriteList(const std::filesystem::path& path, const std::vector<MessageItem>& items) {
        CMessageList list;
        for (const MessageItem& item : items) {
            list.AddMessageItem(static_cast<std::int32_t>(list.GetItemCount()), item);
        }
        std::filesystem::create_directories(path.parent_path());
        Expected<std::vector<std::uint8_t>> bytes =
            EncodeDataFile(list, DataFileFormFor(path), nullptr);
        ASSERT_TRUE(bytes.ok());
        WriteBytes(path, std::string(bytes.value().begin(), bytes.value().end()));
    }

    // Starts Quenby and waits until its window shows this caption.
    void StartQuenby(const std::vector<std::string>& arguments, const std::string& caption) {
        std::vector<std::string> argv{QUENBY_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        m_quenby = std::make_unique<test::CChildProcess>(argv);
        ASSERT_TRUE(WaitForWindow(caption)) << "no window \"" << caption << "\"";
    }
    bool WaitForWindow(const std::string& name, int seconds = 20) {
        // Only windows on screen: hidden menus and popups carry the application's name as well.
        return test::RunCommand({"timeout", std::to_string(seconds), "xdotool", "search", "--sync",
                                 "--onlyvisible", "--name", "^" + name + "$"}) == 0;
    }
    // Focuses `window` and presses `keys` until `expected` shows: a program still busy starting
    // may not take the first keys yet.
    bool PressUntil(const std::string& window, const std::vector<std::string>& keys,
                    const std::string& expected) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            Focus(window);
            std::this_thread::sleep_for(300ms);
            Keys(keys);
            if (WaitForWindow(expected, 5)) {
                return true;
            }
        }
        return false;
    }
    void Keys(const std::vector<std::string>& keys) {
        std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        ASSERT_EQ(test::RunCommand(argv), 0);
    }
    void Type(const std::string& text) {
        ASSERT_EQ(test::RunCommand({"xdotool", "type", "--delay", "20", text}), 0);
    }
    // Waits for a window, gives it the focus (there is no window manager to do it), and presses
    // keys in it.
    void Answer(const std::string& window, const std::vector<std::string>& keys) {
        ASSERT_TRUE(WaitForWindow(window)) << "no window \"" << window << "\"";
        Focus(window);
        std::this_thread::sleep_for(300ms);
        Keys(keys);
    }
    void Focus(const std::string& name) {
        ASSERT_EQ(test::RunCommand({"xdotool", "search", "--onlyvisible", "--name",
                                    "^" + name + "$", "windowfocus", "--sync"}),
                  0);
    }
    // Asks the window to close, as a window manager's close button does.
    void RequestClose(const std::string& name) {
        std::string id;
        ASSERT_EQ(test::RunCommand({"xdotool", "search", "--name", "^" + name + "$"}, &id), 0);
        xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
        auto atom = [conn](const char* text) {
            xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
                conn, xcb_intern_atom(conn, 0, static_cast<std::uint16_t>(std::strlen(text)), text),
                nullptr);
            const xcb_atom_t value = reply->atom;
            std::free(reply);
            return value;
        };
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = static_cast<xcb_window_t>(std::stoul(id));
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(conn, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(conn);
        xcb_disconnect(conn);
    }
    bool WaitForWindowGone(const std::string& name, std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < deadline) {
            if (test::RunCommand(
                    {"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"}) != 0) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    // Adds a message through Add New and the editor, as a user does, trying again where the keys
    // came too early for a window still opening.
    bool AddMessage(const std::string& window, const std::string& text) {
        const std::string editor = "Add Message - Quenby by Holvane";
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (!PressUntil(window, {"Return"}, editor)) {
                return false;
            }
            Focus(editor);
            std::this_thread::sleep_for(300ms);
            Type(text);
            std::this_thread::sleep_for(200ms);
            Keys({"Return"});
            if (WaitForWindowGone(editor, 5000ms)) {
                return true;
            }
            // The text did not arrive: the editor says so; close both and start again.
            if (WaitForWindow("Quenby by Holvane", 2)) {
                Answer("Quenby by Holvane", {"Return"});
            }
            Answer(editor, {"Escape"});
        }
        return false;
    }
    // Asks the main window to close until its question shows.
    bool CloseAndAsk() {
        for (int attempt = 0; attempt < 4; ++attempt) {
            RequestClose("Untitled - Quenby by Holvane");
            if (WaitForWindow("Quenby by Holvane", 5)) {
                return true;
            }
        }
        return false;
    }
    // Whether Quenby has exited within the time.
    bool Exited(std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < deadline) {
            if (::kill(m_quenby->Pid(), 0) != 0 ||
                ::waitpid(m_quenby->Pid(), nullptr, WNOHANG) > 0) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    // How a start of Quenby that ends by itself went.
    struct Outcome {
        int m_iStatus = -1;
        std::string m_strOut;
        std::string m_strErr;
    };
    // Runs Quenby in `folder` until it ends (at most 30 s), with or without a display.
    Outcome RunQuenby(const std::vector<std::string>& arguments, bool display = true,
                      const std::filesystem::path& folder = "/") {
        const std::filesystem::path out = m_root / "stdout.txt";
        const std::filesystem::path err = m_root / "stderr.txt";
        std::vector<std::string> argv{
            "sh", "-c",
            "cd '" + folder.string() + "' && " + (display ? "" : "unset DISPLAY && ") +
                "exec timeout 30 \"$0\" \"$@\" >'" + out.string() + "' 2>'" + err.string() + "'",
            QUENBY_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        Outcome outcome;
        outcome.m_iStatus = test::RunCommand(argv);
        const std::vector<std::uint8_t> outBytes = ReadBytes(out);
        const std::vector<std::uint8_t> errBytes = ReadBytes(err);
        outcome.m_strOut.assign(outBytes.begin(), outBytes.end());
        outcome.m_strErr.assign(errBytes.begin(), errBytes.end());
        return outcome;
    }
    // Collects what the recorder receives until it is `expected` or longer, or the time is up.
    std::string TypedUntil(const std::string& expected, std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        std::string typed;
        while (typed.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
            typed += CollectReceived().m_strText;
            std::this_thread::sleep_for(200ms);
        }
        return typed;
    }

    std::unique_ptr<test::CChildProcess> m_quenby;
    std::unique_ptr<test::CChildProcess> m_target;
};

MessageItem Message(std::u16string text, int milliSeconds) {
    return MessageItem{std::move(text), 0, milliSeconds, false, true, 0, 0};
}

TEST_F(EndToEndTest, TheShortcutTypesTheListFromTheCommandLineTheChosenNumberOfTimes) {
    WriteProfile(ShortcutCtrlShiftF5() + "m_iCount=2\nm_iKeyInputMethod=0\n");
    const std::filesystem::path list = m_home / "My Lists" / "list one.quenbydata";
    WriteList(list, {Message(u"one", 50), Message(u"zwei \u00fc", 50)});
    // A path with blanks, as the shell hands it over: one argument.
    StartQuenby({list.string()}, "list one - Quenby by Holvane");
    StartRecorder();
    Keys({"ctrl+shift+F5"});
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(CollectReceived().m_strText, "one\rzwei \u00fc\rone\rzwei \u00fc\r");
}

TEST_F(EndToEndTest, ASecondPressStopsTheRunAfterTheCurrentMessage) {
    WriteProfile(ShortcutCtrlShiftF5() + "m_iCount=0\nm_iKeyInputMethod=0\n");
    const std::filesystem::path list = m_home / "endless.quenbydata";
    WriteList(list, {MessageItem{u"abcdefghij", 0, 400, false, true, 30, 30}});
    StartQuenby({list.string()}, "endless - Quenby by Holvane");
    StartRecorder();
    Keys({"ctrl+shift+F5"});
    std::this_thread::sleep_for(550ms);  // inside the first message, which takes about 300 ms
    Keys({"ctrl+shift+F5"});
    std::this_thread::sleep_for(1500ms);
    const std::string first = CollectReceived().m_strText;
    std::this_thread::sleep_for(1500ms);
    const std::string later = CollectReceived().m_strText;
    // The message being typed was finished, and nothing came after it.
    EXPECT_EQ(first, "abcdefghij\r");
    EXPECT_EQ(later, "");
}

TEST_F(EndToEndTest, SetTextModeReplacesTheTextOfTheFieldUnderThePointer) {
    ASSERT_TRUE(StartSessionBus());
    m_target = std::make_unique<test::CChildProcess>(
        std::vector<std::string>{QUENBY_QT_TEXT_FIELDS},
        std::vector<std::string>{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", "QT_QPA_PLATFORM=xcb"});
    ASSERT_TRUE(m_target->WaitForLine("READY", 30000));
    int x = 0;
    int y = 0;
    for (const std::string& line : m_target->Lines()) {
        std::sscanf(line.c_str(), "FIELD line %d %d", &x, &y);
    }
    ASSERT_GT(x, 0);
    WriteProfile(ShortcutCtrlShiftF5() + "m_iCount=1\nTextSettingUp=1\n");
    const std::filesystem::path list = m_home / "set.quenbydata";
    WriteList(list, {Message(u"set by quenby", 100)});
    // The field's application registers on the accessibility bus some time after it shows.
    CAtspiTextSetterFactory probe;
    std::unique_ptr<ITextSetter> setter = probe.CreateTextSetter();
    ASSERT_NE(setter, nullptr);
    for (int i = 0; i < 200 && !setter->CanSetTextAt(ScreenPoint{x, y}); ++i) {
        std::this_thread::sleep_for(100ms);
    }
    StartQuenby({list.string()}, "set - Quenby by Holvane");
    // Quenby's own window must not be the one under the pointer.
    ASSERT_EQ(test::RunCommand({"xdotool", "search", "--name", "^set - Quenby by Holvane$",
                                "windowmove", "--sync", "300", "500"}),
              0);
    ASSERT_EQ(test::RunCommand({"xdotool", "mousemove", std::to_string(x), std::to_string(y)}), 0);
    Keys({"ctrl+shift+F5"});
    EXPECT_TRUE(m_target->WaitForLine(
        "CHANGED line " + std::string("7365742062792071") + "75656e6279", 10000));
}

TEST_F(EndToEndTest, AnEncryptedFileSavedThroughTheProgramComesBackWhole) {
    WriteProfile(ShortcutCtrlShiftF5() + "m_iCount=1\nm_iKeyInputMethod=0\n");
    StartQuenby({}, "Untitled - Quenby by Holvane");
    ASSERT_TRUE(AddMessage("Untitled - Quenby by Holvane", "secret message"));
    // The context menu's Save... shows the notice about plain files first.
    ASSERT_TRUE(PressUntil("Untitled - Quenby by Holvane", {"Menu", "Down", "Down", "Return"},
                           "Quenby by Holvane"));
    ASSERT_TRUE(PressUntil("Quenby by Holvane", {"Return"}, "Save As"));
    const std::filesystem::path file = m_home / "safe.quenbyencrypteddata";
    Focus("Save As");
    std::this_thread::sleep_for(300ms);
    Type(file.string());
    Keys({"Return"});
    ASSERT_TRUE(WaitForWindow("safe - Quenby by Holvane"));

    // The text is sealed in the file and opens with this user's key.
    ASSERT_TRUE(std::filesystem::exists(file));
    const std::vector<std::uint8_t> bytes = ReadBytes(file);
    const std::string plainText("s\0e\0c\0r\0e\0t\0", 12);  // "secret" in UTF-16LE
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find(plainText), std::string::npos);
    auto protector = CUserDataProtector::ForCurrentUser();
    Expected<CMessageList> back = DecodeDataFile(bytes, EDataFileForm::Protected, protector.get());
    ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
    EXPECT_EQ(back.value().GetMessageText(0), u"secret message");

    // Loaded by a new start, it types whole (with the Enter before and after the editor proposed).
    m_quenby.reset();
    StartQuenby({file.string()}, "Quenby by Holvane");  // first the notice about encrypted files
    Answer("Quenby by Holvane", {"Return"});
    ASSERT_TRUE(WaitForWindow("safe - Quenby by Holvane"));
    StartRecorder();
    Keys({"ctrl+shift+F5"});
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(CollectReceived().m_strText, "\rsecret message\r");
}

TEST_F(EndToEndTest, AnXServerThatGoesAwayDuringARunEndsTheProgramWithoutACrash) {
    WriteProfile(ShortcutCtrlShiftF5() + "m_iCount=0\nm_iKeyInputMethod=0\n");
    const std::filesystem::path list = m_home / "long.quenbydata";
    WriteList(list, {MessageItem{std::u16string(100, u'z'), 0, 100, false, true, 20, 20}});
    StartQuenby({list.string()}, "long - Quenby by Holvane");
    StartRecorder();
    Keys({"ctrl+shift+F5"});
    std::this_thread::sleep_for(800ms);  // in the middle of typing
    m_recorder.reset();
    m_server.reset();
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    pid_t ended = 0;
    while (ended == 0 && std::chrono::steady_clock::now() < deadline) {
        ended = ::waitpid(m_quenby->Pid(), &status, WNOHANG);
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_EQ(ended, m_quenby->Pid()) << "Quenby kept running without its display";
    EXPECT_TRUE(WIFEXITED(status)) << "Quenby ended by a signal: " << WTERMSIG(status);
    // The list on disk is whole.
    Expected<CMessageList> kept = DecodeDataFile(ReadBytes(list), EDataFileForm::Plain, nullptr);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept.value().GetItemCount(), 1u);
}

TEST_F(EndToEndTest, ClosingWithUnsavedChangesAsksFirst) {
    StartQuenby({}, "Untitled - Quenby by Holvane");
    ASSERT_TRUE(AddMessage("Untitled - Quenby by Holvane", "not saved"));

    // "Do you wish to Save Changes ?": Cancel keeps the window.
    ASSERT_TRUE(CloseAndAsk());
    Answer("Quenby by Holvane", {"Escape"});
    EXPECT_FALSE(Exited(1500ms));
    // Exit from the menu takes the same path; No ends the program without writing anything.
    ASSERT_TRUE(
        PressUntil("Untitled - Quenby by Holvane", {"Menu", "Up", "Return"}, "Quenby by Holvane"));
    Answer("Quenby by Holvane", {"alt+n"});
    EXPECT_TRUE(Exited(15000ms));
    EXPECT_FALSE(std::filesystem::exists(m_home / ".local/share/Holvane"));
}

TEST_F(EndToEndTest, ANotificationAreaThatStartsLaterGetsTheIcon) {
    StartQuenby({}, "Untitled - Quenby by Holvane");
    test::CChildProcess tray({QUENBY_TEST_TRAY});
    ASSERT_TRUE(tray.WaitForLine("ready", 10000));
    std::string line;
    ASSERT_TRUE(tray.ReadLine(line, 20000)) << "the icon never asked to be docked";
    EXPECT_EQ(line.rfind("dock 0x", 0), 0u) << line;
}

// ---- The command line ----

TEST_F(EndToEndTest, EveryOptionAnswersWithoutADisplay) {
    const std::string usage = "Usage: quenby [FILE]";
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string inOut;  // "": nothing on standard output
        std::string inErr;  // "": nothing on standard error
    } cases[] = {
        {{"--help"}, 0, usage, ""},
        {{"-h"}, 0, usage, ""},
        {{"--version"}, 0, "quenby " QUENBY_VERSION "\n", ""},
        {{"-V"}, 0, "quenby " QUENBY_VERSION "\n", ""},
        {{"--bogus"}, 2, "", "unknown option '--bogus'"},
        {{"-x", "a.quenbydata"}, 2, "", "unknown option '-x'"},
        {{"a.quenbydata", "b.quenbydata"}, 2, "", "more than one file"},
        {{"--toggle", "a.quenbydata"}, 2, "", "--toggle takes no file"},
    };
    for (const auto& c : cases) {
        const std::string what = c.arguments.front() + " ...";
        const Outcome outcome = RunQuenby(c.arguments, false);
        EXPECT_EQ(outcome.m_iStatus, c.status) << what << ": " << outcome.m_strErr;
        EXPECT_EQ(outcome.m_strOut.empty(), c.inOut.empty()) << what;
        EXPECT_NE(outcome.m_strOut.find(c.inOut), std::string::npos) << what;
        EXPECT_EQ(outcome.m_strErr.empty(), c.inErr.empty()) << what << ": " << outcome.m_strErr;
        EXPECT_NE(outcome.m_strErr.find(c.inErr), std::string::npos) << what;
        if (c.status == 2) {
            EXPECT_NE(outcome.m_strErr.find(usage), std::string::npos) << what;
        }
    }
    // The manual page tells of every option the help tells of.
    const std::vector<std::uint8_t> page = ReadBytes(QUENBY_MAN_PAGE);
    const std::string manual(page.begin(), page.end());
    for (const char* option : {"toggle", "help", "version", "\\-h", "\\-V"}) {
        EXPECT_NE(manual.find(option), std::string::npos) << option;
    }
}

TEST_F(EndToEndTest, ASecondStartHandsItsFileToTheRunningQuenbyAndEnds) {
    ASSERT_TRUE(StartSessionBus());
    const std::filesystem::path folder = m_home / "My Lists";
    WriteList(folder / "handed over.quenbydata", {Message(u"one", 50)});
    StartQuenby({}, "Untitled - Quenby by Holvane");

    // Started again in another folder with a relative name: the running one opens that file.
    const Outcome second = RunQuenby({"handed over.quenbydata"}, true, folder);
    EXPECT_EQ(second.m_iStatus, 0) << second.m_strErr;
    EXPECT_TRUE(WaitForWindow("handed over - Quenby by Holvane"));
    // Without a file the running one is only brought to the front.
    const Outcome third = RunQuenby({});
    EXPECT_EQ(third.m_iStatus, 0) << third.m_strErr;
    EXPECT_FALSE(Exited(500ms));
    std::string windows;
    test::RunCommand({"xdotool", "search", "--onlyvisible", "--name", " - Quenby by Holvane$"},
                     &windows);
    EXPECT_EQ(std::count(windows.begin(), windows.end(), '\n'), 1) << windows;
}

TEST_F(EndToEndTest, ToggleStartsTheRunOfTheRunningQuenbyAndSaysWhenNoneRuns) {
    ASSERT_TRUE(StartSessionBus());
    const Outcome alone = RunQuenby({"--toggle"});
    EXPECT_EQ(alone.m_iStatus, 1);
    EXPECT_NE(alone.m_strErr.find("Quenby is not running"), std::string::npos) << alone.m_strErr;

    // No shortcut assigned: the command is the only way to start the run.
    WriteProfile("m_iCount=1\nm_iKeyInputMethod=0\n");
    const std::filesystem::path list = m_home / "toggled.quenbydata";
    WriteList(list, {Message(u"typed on command", 20)});
    StartQuenby({list.string()}, "toggled - Quenby by Holvane");
    StartRecorder();
    const Outcome toggle = RunQuenby({"--toggle"});
    EXPECT_EQ(toggle.m_iStatus, 0) << toggle.m_strErr;
    EXPECT_EQ(TypedUntil("typed on command\r", 20s), "typed on command\r");

    // A Quenby that does not answer is given up on in bounded time, and the caller says so.
    m_quenby->Signal(SIGSTOP);
    const Outcome stuck = RunQuenby({"--toggle"});
    m_quenby->Signal(SIGCONT);
    EXPECT_EQ(stuck.m_iStatus, 1);
    EXPECT_NE(stuck.m_strErr.find("did not answer"), std::string::npos) << stuck.m_strErr;
}

}  // namespace
}  // namespace quenby
