// The built program on its own X server, with its own home: started as a user starts it, driven
// with keys as a user drives it, and judged by what a real target window receives.
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/WideText.h"
#include "linux/protection/UserDataProtector.h"
#include "storage/DataFileCodec.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

using namespace std::chrono_literals;

const std::string kTitle = "Quenby by Holvane";  // also the title of its questions and notices
const std::string kUntitled = "Untitled - " + kTitle;
const std::string kShortcut =  // Ctrl+Shift+F5
    "StartStopAutomaticTyping Key=116\nStartStopAutomaticTyping Mod=6\n";

xcb_atom_t Atom(xcb_connection_t* conn, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        conn, xcb_intern_atom(conn, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

xcb_window_t WindowNamed(const std::string& name) {
    std::string ids;
    test::RunCommand({"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"}, &ids);
    return ids.empty() ? xcb_window_t{XCB_WINDOW_NONE} : static_cast<xcb_window_t>(std::stoul(ids));
}

// Follows the icon of Quenby's window, which shows whether a run goes on: a run that starts
// changes it, and puts the idle one back when it ends.
class CRunIcon {
public:
    explicit CRunIcon(const std::string& window)
        : m_conn(xcb_connect(nullptr, nullptr)),
          m_window(WindowNamed(window)),
          m_icon(Atom(m_conn, "_NET_WM_ICON")) {
        const std::uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_conn, m_window, XCB_CW_EVENT_MASK, &events);
        m_idle = Icon();
    }
    ~CRunIcon() { xcb_disconnect(m_conn); }

    // Waits for a change of the icon after which it is the idle one: the run has ended.
    bool WaitForRunEnd() {
        pollfd readable{xcb_get_file_descriptor(m_conn), POLLIN, 0};
        for (bool changed = false;;) {
            // Events read along with the icon are taken from the queue before waiting for more.
            xcb_generic_event_t* event = xcb_poll_for_event(m_conn);
            if (event == nullptr) {
                if (::poll(&readable, 1, 60000) != 1) {
                    return false;
                }
                continue;
            }
            changed =
                changed || ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY &&
                            reinterpret_cast<xcb_property_notify_event_t*>(event)->atom == m_icon);
            std::free(event);
            if (changed && Icon() == m_idle) {
                return true;
            }
        }
    }

private:
    std::string Icon() {  // the first image is enough to tell them apart
        auto* reply = xcb_get_property_reply(
            m_conn, xcb_get_property(m_conn, 0, m_window, m_icon, XCB_ATOM_CARDINAL, 0, 1024),
            nullptr);
        if (reply == nullptr) {
            return "";
        }
        const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
        std::string icon(bytes, bytes + xcb_get_property_value_length(reply));
        std::free(reply);
        return icon;
    }

    xcb_connection_t* m_conn;
    xcb_window_t m_window;
    xcb_atom_t m_icon;
    std::string m_idle;
};

class EndToEndTest : public test::XDisplayTest {
protected:
    void SetUp() override {
        XDisplayTest::SetUp();
        WithoutSessionBus();  // unless a test starts one: the key file keeps the key
        std::filesystem::create_directories(m_home / ".config/Holvane");
    }
    void TearDown() override {
        m_quenby.reset();
        XDisplayTest::TearDown();
    }

    void WriteProfile(const std::string& settings) {
        WriteBytes(m_home / ".config/Holvane/Quenby by Holvane.conf", "[Settings]\n" + settings);
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

    // Starts Quenby with these settings on a list of these messages, and the recorder to take
    // what it types; the caption of its window.
    std::string StartOnList(const std::string& settings, const std::filesystem::path& file,
                            const std::vector<MessageItem>& items) {
        WriteProfile(settings);
        WriteList(file, items);
        const std::string caption = file.stem().string() + " - " + kTitle;
        StartQuenby({file.string()}, caption);
        StartRecorder();
        return caption;
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
    bool WaitForWindowGone(const std::string& name) {
        return test::RunCommand(
                   {"timeout", "10", "sh", "-c",
                    "while xdotool search --onlyvisible --name \"$0\"; do sleep 0.1; done",
                    "^" + name + "$"}) == 0;
    }
    void Keys(const std::vector<std::string>& keys) {
        std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
        argv.insert(argv.end(), keys.begin(), keys.end());
        ASSERT_EQ(test::RunCommand(argv), 0);
    }
    // Gives `window` the focus (there is no window manager to do it) and presses `keys` there
    // until `expected` shows, or with none until `window` is gone: a window still opening may
    // not take the first keys yet, and keys that came too early may have raised a question.
    bool PressUntil(const std::string& window, const std::vector<std::string>& keys,
                    const std::string& expected = "") {
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (!WaitForWindow(window) ||
                test::RunCommand({"xdotool", "search", "--onlyvisible", "--name",
                                  "^" + window + "$", "windowfocus", "--sync"}) != 0) {
                return false;
            }
            Keys(keys);
            if (expected.empty() ? WaitForWindowGone(window) : WaitForWindow(expected, 5)) {
                return true;
            }
            if (window != kTitle && WaitForWindow(kTitle, 2)) {
                PressUntil(kTitle, {"Escape"});
            }
        }
        return false;
    }
    // Types `text` over what the field with the focus in `window` holds, and Enter.
    bool TypeAndEnter(const std::string& window, const std::string& text) {
        return PressUntil(window, {"ctrl+a", "type", "--delay", "20", text + "\r"});
    }
    // Asks the window to close, as a window manager's close button does, until `expected`
    // shows: a window still busy with a dialog that just closed may not take the request yet.
    bool RequestClose(const std::string& name, const std::string& expected) {
        xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = WindowNamed(name);
        event.type = Atom(conn, "WM_PROTOCOLS");
        event.data.data32[0] = Atom(conn, "WM_DELETE_WINDOW");
        bool shown = false;
        for (int attempt = 0; attempt < 4 && !shown; ++attempt) {
            xcb_send_event(conn, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char*>(&event));
            xcb_flush(conn);
            shown = WaitForWindow(expected, 5);
        }
        xcb_disconnect(conn);
        return shown;
    }
    // Whether Quenby ends within the time (it is left for its owner to reap).
    bool Exited(std::chrono::milliseconds within) {
        const int process = static_cast<int>(::syscall(SYS_pidfd_open, m_quenby->Pid(), 0));
        pollfd ended{process, POLLIN, 0};
        const bool exited =
            process >= 0 && ::poll(&ended, 1, static_cast<int>(within.count())) == 1;
        ::close(process);
        return exited;
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
        const std::filesystem::path err = m_root / "stderr.txt";
        std::vector<std::string> argv{"sh", "-c",
                                      "cd '" + folder.string() + "' && " +
                                          (display ? "" : "unset DISPLAY && ") +
                                          "exec timeout 30 \"$0\" \"$@\" 2>'" + err.string() + "'",
                                      QUENBY_PROGRAM};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        Outcome outcome;
        outcome.m_iStatus = test::RunCommand(argv, &outcome.m_strOut);
        const std::vector<std::uint8_t> errBytes = ReadBytes(err);
        outcome.m_strErr.assign(errBytes.begin(), errBytes.end());
        return outcome;
    }

    std::unique_ptr<test::CChildProcess> m_quenby;
};

MessageItem Message(std::u16string text, int milliSeconds) {
    return MessageItem{std::move(text), 0, milliSeconds, false, true, 0, 0};
}

// The alphabet takes a second, and the next message waits 1.5 s: another press made once the
// alphabet has begun comes while it is typed, or before the next message.
TEST_F(EndToEndTest, TheShortcutTypesTheListTheChosenNumberOfTimesOrUntilPressedAgain) {
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz";
    // A path with blanks, as the shell hands it over: one argument.
    CRunIcon run(StartOnList(kShortcut + "m_iCount=2\nm_iKeyInputMethod=0\n",
                             m_home / "My Lists" / "list one.quenbydata",
                             {MessageItem{u"abcdefghijklmnopqrstuvwxyz", 0, 0, false, true, 40, 40},
                              Message(u"one \u00fc", 1500)}));
    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not end";
    EXPECT_EQ(CollectReceived().m_strText,
              alphabet + "\rone \u00fc\r" + alphabet + "\rone \u00fc\r");

    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(m_recorder->WaitForLine("KEY 0 61", 20000)) << "the run did not start";
    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not stop";
    // The message being typed was finished, and nothing came after it.
    EXPECT_EQ(CollectReceived().m_strText, alphabet + "\r");
}

TEST_F(EndToEndTest, SetTextModeReplacesTheTextOfTheFieldUnderThePointer) {
    StartSessionBus();
    test::CChildProcess& fields = LaunchTextFields();
    ASSERT_NE(SetterReaching(m_fields["line"]), nullptr);
    WriteProfile(kShortcut + "m_iCount=1\nTextSettingUp=1\n");
    WriteList(m_home / "set.quenbydata", {Message(u"set by quenby", 100)});
    StartQuenby({(m_home / "set.quenbydata").string()}, "set - " + kTitle);
    // Quenby's own window must not be the one under the pointer.
    ASSERT_EQ(test::RunCommand({"xdotool", "search", "--name", "^set - " + kTitle + "$",
                                "windowmove", "--sync", "300", "500"}),
              0);
    const ScreenPoint line = m_fields["line"];
    ASSERT_EQ(test::RunCommand(
                  {"xdotool", "mousemove", std::to_string(line.m_x), std::to_string(line.m_y)}),
              0);
    Keys({"ctrl+shift+F5"});
    // Set whole: typed, it would have changed letter by letter.
    EXPECT_TRUE(fields.WaitForLine("CHANGED line " + test::Hex("set by quenby"), 20000));
    EXPECT_EQ(fields.Lines().size(), 1u);
}

TEST_F(EndToEndTest, AnEncryptedFileSavedThroughTheProgramComesBackWhole) {
    WriteProfile(kShortcut + "m_iCount=1\nm_iKeyInputMethod=0\n");
    StartQuenby({}, kUntitled);
    ASSERT_TRUE(PressUntil(kUntitled, {"Return"}, "Add Message - " + kTitle));
    ASSERT_TRUE(TypeAndEnter("Add Message - " + kTitle, "secret message"));
    // The context menu's Save... shows the notice about plain files first.
    ASSERT_TRUE(PressUntil(kUntitled, {"Menu", "Down", "Down", "Return"}, kTitle));
    ASSERT_TRUE(PressUntil(kTitle, {"Return"}, "Save As"));
    const std::filesystem::path file = m_home / "safe.quenbyencrypteddata";
    ASSERT_TRUE(TypeAndEnter("Save As", file.string()));
    ASSERT_TRUE(WaitForWindow("safe - " + kTitle));

    // The text is sealed in the file and opens with this user's key.
    const std::vector<std::uint8_t> bytes = ReadBytes(file);
    const std::string plainText("s\0e\0c\0r\0e\0t\0", 12);  // "secret" in UTF-16LE
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find(plainText), std::string::npos);
    auto protector = CUserDataProtector::ForCurrentUser();
    Expected<CMessageList> back = DecodeDataFile(bytes, EDataFileForm::Protected, protector.get());
    ASSERT_TRUE(back.ok()) << Utf8FromUtf16(back.reason());
    EXPECT_EQ(back.value().GetMessageText(0), u"secret message");

    // Loaded by a new start, it types whole (with the Enter before and after the editor proposed).
    m_quenby.reset();
    StartQuenby({file.string()}, kTitle);  // first the notice about encrypted files
    ASSERT_TRUE(PressUntil(kTitle, {"Return"}));
    StartRecorder();
    CRunIcon run("safe - " + kTitle);
    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not end";
    EXPECT_EQ(CollectReceived().m_strText, "\rsecret message\r");
}

TEST_F(EndToEndTest, AnXServerThatGoesAwayDuringARunEndsTheProgramWithoutACrash) {
    const std::filesystem::path list = m_home / "long.quenbydata";
    StartOnList(kShortcut + "m_iCount=0\nm_iKeyInputMethod=0\n", list,
                {MessageItem{std::u16string(100, u'z'), 0, 100, false, true, 20, 20}});
    Keys({"ctrl+shift+F5"});
    ASSERT_TRUE(m_recorder->WaitForLine("KEY 0 7a", 20000)) << "the run did not start";
    m_recorder.reset();
    m_server.reset();  // in the middle of typing
    ASSERT_TRUE(Exited(15s)) << "Quenby kept running without its display";
    EXPECT_NE(m_quenby->Wait(), -1) << "Quenby ended by a signal";
    // The list on disk is whole.
    Expected<CMessageList> kept = DecodeDataFile(ReadBytes(list), EDataFileForm::Plain, nullptr);
    ASSERT_TRUE(kept.ok());
    EXPECT_EQ(kept.value().GetItemCount(), 1u);
}

TEST_F(EndToEndTest, ClosingWithUnsavedChangesAsksFirst) {
    StartQuenby({}, kUntitled);
    ASSERT_TRUE(PressUntil(kUntitled, {"Return"}, "Add Message - " + kTitle));
    ASSERT_TRUE(TypeAndEnter("Add Message - " + kTitle, "not saved"));

    // "Do you wish to Save Changes ?": Cancel keeps the window.
    ASSERT_TRUE(RequestClose(kUntitled, kTitle));
    ASSERT_TRUE(PressUntil(kTitle, {"Escape"}));
    // Exit from the menu takes the same path; No ends the program without writing anything.
    ASSERT_TRUE(PressUntil(kUntitled, {"Menu", "Up", "Return"}, kTitle));
    ASSERT_TRUE(PressUntil(kTitle, {"alt+n"}));
    EXPECT_TRUE(Exited(15s));
    EXPECT_FALSE(std::filesystem::exists(m_home / ".local/share/Holvane"));
}

TEST_F(EndToEndTest, ANotificationAreaThatStartsLaterGetsTheIcon) {
    StartQuenby({}, kUntitled);
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
        const Outcome outcome = RunQuenby(c.arguments, false);
        const std::string what = c.arguments.front() + " ...: " + outcome.m_strErr;
        EXPECT_EQ(outcome.m_iStatus, c.status) << what;
        EXPECT_TRUE(c.inOut.empty() ? outcome.m_strOut.empty()
                                    : outcome.m_strOut.find(c.inOut) != std::string::npos)
            << what;
        // A refused command line tells why, and how to use it.
        EXPECT_TRUE(c.inErr.empty() ? outcome.m_strErr.empty()
                                    : outcome.m_strErr.find(c.inErr) != std::string::npos &&
                                          outcome.m_strErr.find(usage) != std::string::npos)
            << what;
    }
    // The manual page tells of every option the help tells of.
    const std::vector<std::uint8_t> page = ReadBytes(QUENBY_MAN_PAGE);
    const std::string manual(page.begin(), page.end());
    for (const char* option : {"toggle", "help", "version", "\\-h", "\\-V"}) {
        EXPECT_NE(manual.find(option), std::string::npos) << option;
    }
    // ... and of every file of the user's that the program keeps.
    for (const char* file : {"$XDG_CONFIG_HOME/Holvane/Quenby by Holvane.conf",
                             "$XDG_DATA_HOME/Holvane/Quenby by Holvane/data-file.key"}) {
        EXPECT_NE(manual.find(file), std::string::npos) << file;
    }
}

// Another start finds the running Quenby on the session bus, hands it over and ends.
TEST_F(EndToEndTest, ASecondStartHandsItsFileOrToggleToTheRunningQuenby) {
    StartSessionBus();
    const Outcome alone = RunQuenby({"--toggle"});
    EXPECT_EQ(alone.m_iStatus, 1);
    EXPECT_NE(alone.m_strErr.find("Quenby is not running"), std::string::npos) << alone.m_strErr;

    // No shortcut assigned: the command is the only way to start the run.
    CRunIcon run(StartOnList("m_iCount=1\nm_iKeyInputMethod=0\n", m_home / "toggled.quenbydata",
                             {Message(u"typed on command", 20)}));
    const Outcome toggle = RunQuenby({"--toggle"});
    EXPECT_EQ(toggle.m_iStatus, 0) << toggle.m_strErr;
    ASSERT_TRUE(run.WaitForRunEnd()) << "the run did not end";
    EXPECT_EQ(CollectReceived().m_strText, "typed on command\r");

    // Started in another folder with a relative name: the running one opens that file.
    const std::filesystem::path folder = m_home / "My Lists";
    WriteList(folder / "handed over.quenbydata", {Message(u"one", 50)});
    const Outcome second = RunQuenby({"handed over.quenbydata"}, true, folder);
    EXPECT_EQ(second.m_iStatus, 0) << second.m_strErr;
    EXPECT_TRUE(WaitForWindow("handed over - " + kTitle));
    // Without a file the running one is only brought to the front.
    const Outcome third = RunQuenby({});
    EXPECT_EQ(third.m_iStatus, 0) << third.m_strErr;
    std::string windows;
    test::RunCommand({"xdotool", "search", "--onlyvisible", "--name", " - " + kTitle + "$"},
                     &windows);
    EXPECT_EQ(std::count(windows.begin(), windows.end(), '\n'), 1) << windows;

    // A Quenby that does not answer is given up on in bounded time, and the caller says so.
    m_quenby->Signal(SIGSTOP);
    const Outcome stuck = RunQuenby({"--toggle"});
    m_quenby->Signal(SIGCONT);
    EXPECT_EQ(stuck.m_iStatus, 1);
    EXPECT_NE(stuck.m_strErr.find("did not answer"), std::string::npos) << stuck.m_strErr;
}

}  // namespace
}  // namespace quenby
