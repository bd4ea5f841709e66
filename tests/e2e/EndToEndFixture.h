#pragma once

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

using namespace std::chrono_literals;

inline const std::string kTitle =
    "Quenby by Holvane";  // also the title of its questions and notices
inline const std::string kUntitled = "Untitled - " + kTitle;
inline const std::string kShortcut =  // Ctrl+Shift+F5
    "StartStopAutomaticTyping Key=116\nStartStopAutomaticTyping Mod=6\n";
inline const std::string kTypeOnce = kShortcut + "m_iCount=1\nm_iKeyInputMethod=0\n";

inline xcb_atom_t Atom(xcb_connection_t* conn, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        conn, xcb_intern_atom(conn, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

inline xcb_window_t WindowNamed(const std::string& name) {
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
    bool Focus(const std::string& window) {  // there is no window manager to do it
        return test::RunCommand({"xdotool", "search", "--onlyvisible", "--name", "^" + window + "$",
                                 "windowfocus", "--sync"}) == 0;
    }
    // Gives `window` the focus and presses `keys` there
    // until `expected` shows, or with none until `window` is gone: a window still opening may
    // not take the first keys yet, and keys that came too early may have raised a question.
    bool PressUntil(const std::string& window, const std::vector<std::string>& keys,
                    const std::string& expected = "") {
        for (int attempt = 0; attempt < 4; ++attempt) {
            if (!WaitForWindow(window) || !Focus(window)) {
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

inline MessageItem Message(std::u16string text, int milliSeconds) {
    return MessageItem{std::move(text), 0, milliSeconds, false, true, 0, 0};
}

}  // namespace quenby
