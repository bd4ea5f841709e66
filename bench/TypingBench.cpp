// Types the same 10,000-character texts into a recording X client on a virtual X server, with
// Quenby's Unicode method at no pause and with xdotool, and prints characters per second and the
// share of characters that arrived right.
#include <stdlib.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/WideText.h"
#include "input/TypingJob.h"
#include "linux/ThreadSleeper.h"
#include "linux/x11/X11Keyboard.h"
#include "support/ChildProcess.h"

namespace {

using namespace quenby;
using Clock = std::chrono::steady_clock;

class CNoTextSetters final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override { return nullptr; }
};

std::string Unhex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Presses the end marker (F12) and returns what the recorder received before it.
std::u16string Collect(test::CChildProcess& recorder) {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    xcb_test_fake_input(conn, XCB_KEY_PRESS, 96, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(conn, XCB_KEY_RELEASE, 96, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    xcb_disconnect(conn);
    recorder.ClearLines();
    recorder.WaitForLine("END", 300000);
    std::string text;
    for (const std::string& line : recorder.Lines()) {
        if (line.rfind("KEY ", 0) == 0) {
            text += Unhex(line.substr(line.find(' ', 4) + 1));
        }
    }
    return Utf16FromUtf8(text);
}

// Characters that arrived right: the longest common subsequence of what was sent and what came.
double ShareRight(const std::u16string& sent, const std::u16string& got) {
    std::vector<int> previous(got.size() + 1, 0);
    std::vector<int> current(got.size() + 1, 0);
    for (char16_t s : sent) {
        for (std::size_t j = 0; j < got.size(); ++j) {
            current[j + 1] = s == got[j] ? previous[j] + 1 : std::max(previous[j + 1], current[j]);
        }
        std::swap(previous, current);
    }
    return sent.empty()
               ? 1.0
               : static_cast<double>(previous[got.size()]) / static_cast<double>(sent.size());
}

void Report(const char* who, const char* text, const std::u16string& sent,
            const std::u16string& got, double seconds) {
    const double rate = static_cast<double>(sent.size()) / seconds;
    const double right = 100.0 * ShareRight(sent, got);
    std::printf("%-8s %-22s %10.0f %9.2f%%  (%zu of %zu code units arrived)\n", who, text, rate,
                right, got.size(), sent.size());
    std::printf("REPORT typing 10,000 chars, %s, %s|%.0f chars/s, %.2f%% right\n", who, text, rate,
                right);
}

}  // namespace

int main() {
    test::CChildProcess server({"Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp"});
    std::string number;
    if (!server.ReadLine(number, 20000)) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    test::CChildProcess recorder({QUENBY_KEY_RECORDER});
    if (!recorder.WaitForLine("READY", 20000)) {
        std::fprintf(stderr, "the recorder did not start\n");
        return 1;
    }

    std::u16string ascii;
    std::u16string mixed;
    const std::u16string words = u"the quick brown fox jumps over the lazy dog ";
    const std::u16string foreign[] = {u"\u00e9", u"\u0436", u"\u4e2d", u"\u00df", u"\u03a9"};
    for (std::size_t i = 0; ascii.size() < 10000; ++i) {
        ascii += words[i % words.size()];
    }
    for (std::size_t i = 0; mixed.size() < 10000; ++i) {
        mixed += words[i % words.size()];
        if (i % 9 == 0) {
            mixed += foreign[(i / 9) % std::size(foreign)];
        }
    }
    ascii.resize(10000);
    mixed.resize(10000);

    CX11Keyboard keyboard;
    CNoTextSetters setters;
    CThreadSleeper sleeper;
    std::atomic<bool> running{true};
    const KeystrokeServices services{keyboard, setters, sleeper, running};

    std::printf("typing 10,000 characters into an Xlib client on Xvfb (us layout)\n");
    std::printf("%-8s %-22s %10s %10s\n", "tool", "text", "chars/s", "right");
    const struct {
        const char* name;
        const std::u16string* text;
    } texts[] = {{"ASCII", &ascii}, {"with missing letters", &mixed}};
    for (const auto& t : texts) {
        TypingJob job;
        job.m_strText = *t.text;
        job.m_iKeyInputMethod = 0;
        job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
        auto start = Clock::now();
        RunTypingJob(services, job);
        std::u16string got = Collect(recorder);
        Report("Quenby", t.name, *t.text, got,
               std::chrono::duration<double>(Clock::now() - start).count());

        start = Clock::now();
        test::RunCommand({"xdotool", "type", "--delay", "0", Utf8FromUtf16(*t.text)});
        got = Collect(recorder);
        Report("xdotool", t.name, *t.text, got,
               std::chrono::duration<double>(Clock::now() - start).count());
    }
    return 0;
}
