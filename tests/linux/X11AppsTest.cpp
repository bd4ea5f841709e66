// Typing into the applications people type into, each on an X server of its own: every text of
// the application table read back exactly from the application.
#include <atomic>
#include <fstream>
#include <string>

#include "input/ThreadSleeper.h"
#include "linux/x11/X11Keyboard.h"
#include "support/AppTable.h"
#include "support/XDisplayFixture.h"

namespace quenby {
namespace {

class X11AppsTest : public test::XDisplayTest, public ::testing::WithParamInterface<const char*> {
protected:
    // Starts the application with the focus in its text field, and how it reports what it took.
    void Start(const std::string& app) {
        using Process = test::CChildProcess;
        const std::string recorder = QUENBY_WAYLAND_RECORDER;
        std::string title;  // of a window that does not take the focus itself (no window manager)
        if (app == "chromium" || app == "firefox") {
            m_receiver.Watch(std::make_unique<test::CBrowserPage>(m_root));
            m_app = test::StartBrowser(app, m_root / "browser", m_receiver.Page()->Url());
            ASSERT_TRUE(m_receiver.Page()->WaitUntilFocused(120000)) << "no focused page";
        } else if (app == "xterm") {  // the terminal runs a recorder that reads it raw
            const std::string file = (m_root / "terminal.txt").string();
            std::ofstream(file).flush();
            m_receiver.Watch(std::make_unique<Process>(
                std::vector<std::string>{"tail", "-n", "+1", "-F", file}));
            m_app = std::make_unique<Process>(
                std::vector<std::string>{"xterm", "-u8", "-T", title = "Quenby terminal", "-e",
                                         "/usr/bin/python3", recorder, "tty", file});
        } else if (app == "gtk3") {
            m_receiver.Watch(std::make_unique<Process>(
                std::vector<std::string>{"/usr/bin/python3", recorder, "gtk"},
                std::vector<std::string>{"GDK_BACKEND=x11", "NO_AT_BRIDGE=1"}));
            title = "Quenby Wayland recorder";
        } else if (app == "qt6") {
            m_receiver.Watch(
                std::make_unique<Process>(std::vector<std::string>{QUENBY_QT_RECORDER},
                                          std::vector<std::string>{"QT_QPA_PLATFORM=xcb"}));
            title = "Quenby Qt recorder";
        } else {  // the Xlib recorder, which takes the focus itself
            m_receiver.Watch(
                std::make_unique<Process>(std::vector<std::string>{QUENBY_KEY_RECORDER}));
        }
        if (!title.empty()) {
            ASSERT_EQ(test::RunCommand({"timeout", "60", "xdotool", "search", "--sync", "--name",
                                        "^" + title + "$", "windowfocus", "--sync"}),
                      0)
                << app << " did not show";
        }
        ASSERT_TRUE(test::WaitUntilTyping(m_typing.m_services, m_receiver))
            << app << " took no keys";
    }

    void TearDown() override {
        m_app.reset();
        m_receiver = {};
        XDisplayTest::TearDown();
    }

    test::CAppReceiver m_receiver;
    std::unique_ptr<test::CChildProcess> m_app;
    test::CTypingServices<CX11Keyboard> m_typing;
};

// Chromium (the engine of most chat programs) turns some keycodes into commands rather than
// text and takes in a keymap change on a connection of its own, apart from the keys.
TEST_P(X11AppsTest, EveryTextArrivesExactly) {
    Start(GetParam());
    if (HasFatalFailure()) {
        return;
    }
    test::TypeEveryAppText(GetParam(), m_typing.m_services, m_receiver, [this](const char* layout) {
        SetLayout(layout);
        return !HasFatalFailure();
    });
}

INSTANTIATE_TEST_SUITE_P(Applications, X11AppsTest,
                         ::testing::Values("chromium", "firefox", "xterm", "gtk3", "qt6", "xlib"),
                         [](const auto& test) { return std::string(test.param); });

}  // namespace
}  // namespace quenby
