#include "support/XDisplayFixture.h"

#include <stdlib.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdio>

namespace quenby::test {
void XDisplayTest::SetUp() {
    TempHome::SetUp();
    m_server = std::make_unique<CChildProcess>(std::vector<std::string>{
        "Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
    ASSERT_TRUE(m_server->Started()) << "Xvfb could not be started";
    std::string number;
    ASSERT_TRUE(m_server->ReadLine(number, 20000)) << "Xvfb did not report its display";
    m_display = ":" + number;
    ::setenv("DISPLAY", m_display.c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
}

void XDisplayTest::TearDown() {
    m_recorder.reset();
    m_server.reset();
    TempHome::TearDown();
}

void XDisplayTest::StartRecorder() {
    m_recorder = std::make_unique<CChildProcess>(std::vector<std::string>{QUENBY_KEY_RECORDER});
    ASSERT_TRUE(m_recorder->WaitForLine("READY", 20000)) << "the key recorder did not start";
}

void XDisplayTest::SetLayout(const std::string& layout, const std::string& variant) {
    std::vector<std::string> command{"setxkbmap", "-display", m_display, layout};
    if (!variant.empty()) {
        command.insert(command.end(), {"-variant", variant});
    }
    ASSERT_EQ(RunCommand(command), 0) << layout << " " << variant;
}

XDisplayTest::Received XDisplayTest::CollectReceived(int timeoutMs) {
    // The end marker goes through the same queue as everything typed before it.
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    const xcb_keycode_t f12 = 96;  // F12 in the evdev keymaps of every layout used here
    xcb_test_fake_input(conn, XCB_KEY_PRESS, f12, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(conn, XCB_KEY_RELEASE, f12, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(conn);
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    xcb_disconnect(conn);

    Received received;
    EXPECT_TRUE(m_recorder->WaitForLine("END", timeoutMs)) << "the end marker did not arrive";
    for (const std::string& line : m_recorder->Lines()) {
        if (line == "BELL") {
            ++received.m_iBells;
        } else if (line.rfind("KEY ", 0) == 0) {
            received.m_strText += Unhex(line.substr(line.find(' ', 4) + 1));
        }
    }
    m_recorder->ClearLines();
    return received;
}

}  // namespace quenby::test
