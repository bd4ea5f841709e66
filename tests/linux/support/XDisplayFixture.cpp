#include "support/XDisplayFixture.h"

#include <stdlib.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "linux/atspi/AtspiTextSetter.h"

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
    m_fieldsApp.reset();
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

void XDisplayTest::FakeKeys(std::initializer_list<std::pair<int, bool>> keys) {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    for (const auto& [key, press] : keys) {
        xcb_test_fake_input(conn, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE,
                            static_cast<xcb_keycode_t>(key), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    xcb_disconnect(conn);
}

int XDisplayTest::KeysDown() {
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

XDisplayTest::Received XDisplayTest::CollectReceived(int timeoutMs) {
    // The end marker (F12) goes through the same queue as everything typed before it.
    FakeKeys({{96, true}, {96, false}});
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

CChildProcess& XDisplayTest::LaunchTextFields() {
    m_fieldsApp = std::make_unique<CChildProcess>(
        std::vector<std::string>{QUENBY_QT_TEXT_FIELDS},
        std::vector<std::string>{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", "QT_QPA_PLATFORM=xcb"});
    EXPECT_TRUE(m_fieldsApp->WaitForLine("READY", 30000)) << "the text fields did not show";
    for (const std::string& line : m_fieldsApp->Lines()) {
        char name[32] = {};
        ScreenPoint point;
        if (std::sscanf(line.c_str(), "FIELD %31s %d %d", name, &point.m_x, &point.m_y) == 3) {
            m_fields[name] = point;
        }
    }
    m_fieldsApp->ClearLines();
    return *m_fieldsApp;
}

std::unique_ptr<ITextSetter> XDisplayTest::SetterReaching(ScreenPoint point) {
    std::unique_ptr<ITextSetter> setter = CAtspiTextSetterFactory().CreateTextSetter();
    for (int i = 0; setter && i < 200 && !setter->CanSetTextAt(point); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(setter && setter->CanSetTextAt(point)) << "the field never became reachable";
    return setter;
}

}  // namespace quenby::test
