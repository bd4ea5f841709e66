// Types the same 10,000-character mixed text into a GTK 3 recorder on a headless sway through
// Quenby's virtual keyboard (the default pacing) and through wtype, and prints characters per
// second and the share of characters that arrived right. With --sweep it also types a shorter
// text at several key intervals into GTK 3, Qt 6 and a terminal (foot), to show where each
// application stops keeping up.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TypingBenchSupport.h"
#include "engine/WideText.h"
#include "input/ThreadSleeper.h"
#include "input/TypingJob.h"
#include "linux/wayland/WaylandKeyboard.h"
#include "wayland/AppTargets.h"
#include "wayland/MixedText.h"
#include "wayland/UserKeyboard.h"

namespace {

using namespace quenby;
using bench::CNoTextSetters;
using bench::ShareRight;
using Clock = std::chrono::steady_clock;

const std::u16string kMarker = u"\ue000";

// Where a target reports what it received: the recorder's output, or the terminal's.
struct Target {
    // A keyboard of the user's from before the target starts, as a desktop has: a client takes a
    // keyboard the seat gains only some time after it is told of it.
    std::unique_ptr<test::CUserKeyboard> keyboard;
    std::unique_ptr<test::CChildProcess> process;
    std::unique_ptr<test::CAppTarget> terminal;
    bool Up() const { return process || terminal; }
};

bool ReadText(Target& target, std::string& text, int timeoutMs) {
    return target.terminal ? target.terminal->Read(text, timeoutMs)
                           : test::ReadRecordedText(*target.process, text, timeoutMs);
}

Target StartTarget(const test::CHeadlessSway& sway, const std::string& name) {
    Target target;
    target.keyboard = std::make_unique<test::CUserKeyboard>("us");
    if (name == "GTK3") {
        target.process = sway.StartGtkRecorder();
    } else if (name == "Qt6") {
        target.process = sway.Run({QUENBY_QT_RECORDER}, {"QT_QPA_PLATFORM=wayland"});
        if (!target.process->WaitForLine("READY", 20000)) {
            target.process.reset();
        }
    } else {
        target.terminal = std::make_unique<test::CAppTarget>(sway, name);
        if (!target.terminal->Failure().empty()) {
            target.terminal.reset();
        }
    }
    return target;
}

// What a target makes of a text: a terminal reads Return as carriage return.
std::u16string Expected(const Target& target, std::u16string text) {
    return target.terminal ? target.terminal->Expected(text) : text;
}

struct Result {
    double rate = 0;
    double right = 0;
    bool connected = false;
};

Result TypeOurs(Target& target, const std::u16string& text, WaylandPacing pacing) {
    CWaylandKeyboard keyboard(pacing);
    CNoTextSetters setters;
    CThreadSleeper sleeper;
    std::atomic<bool> runActive{true};
    KeystrokeServices services{keyboard, setters, sleeper, runActive};
    TypingJob job;
    job.m_iKeyInputMethod = 0;
    job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
    job.m_strText = text + kMarker;
    const auto start = Clock::now();
    (void)RunTypingJob(services, job);
    std::string received;
    Result result;
    const bool got = ReadText(target, received, 120000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.rate = double(text.size()) / seconds;
    result.right = got ? 100.0 * ShareRight(Expected(target, text), Utf16FromUtf8(received)) : 0.0;
    // Still connected: a short second text arrives.
    job.m_strText = u"ok" + kMarker;
    (void)RunTypingJob(services, job);
    result.connected = ReadText(target, received, 5000) && received == "ok";
    return result;
}

void Sweep() {
    const std::u16string text = test::MixedText(2000, 150);
    std::printf(
        "\nPacing sweep: 2,000 mixed characters, a round trip before each burst of key\n"
        "presses and the average interval between presses below; a fresh compositor per row.\n");
    std::printf("%-6s %12s %12s %9s %10s\n", "target", "interval", "chars/s", "right", "connected");
    for (const char* name : {"GTK3", "Qt6", "foot"}) {
        for (const int interval : {0, 100, 250, 500, 1000}) {
            test::CHeadlessSway sway;
            Target target = StartTarget(sway, name);
            if (!sway.Failure().empty() || !target.Up()) {
                std::printf("%-6s %10d us  (the target did not start)\n", name, interval);
                continue;
            }
            WaylandPacing pacing;
            pacing.m_keyInterval = std::chrono::microseconds(interval);
            const Result r = TypeOurs(target, text, pacing);
            std::printf("%-6s %10d us %12.0f %8.2f%% %10s\n", name, interval, r.rate, r.right,
                        r.connected ? "yes" : "NO");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::u16string text = test::MixedText(10000, 150);
    WaylandPacing pacing;
    // --interval US: another average interval between key presses than the default.
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--interval") == 0) {
            pacing.m_keyInterval = std::chrono::microseconds(std::atoi(argv[i + 1]));
        }
    }
    std::printf(
        "Pacing: a round trip before each burst of %d key presses, %lld us a press on average, "
        "%lld ms after a keymap change, %lld ms after the first keymap in a seat "
        "without a keyboard.\n",
        pacing.m_iKeysPerBurst, static_cast<long long>(pacing.m_keyInterval.count()),
        static_cast<long long>(pacing.m_afterKeymap.count()),
        static_cast<long long>(pacing.m_newKeyboard.count()));
    std::printf("%-10s %-28s %10s %9s %10s\n", "who", "text", "chars/s", "right", "connected");
    {
        test::CHeadlessSway sway;
        Target target = StartTarget(sway, "GTK3");
        if (!sway.Failure().empty() || !target.Up()) {
            std::printf("no compositor or recorder: %s\n", sway.Failure().c_str());
            return 1;
        }
        const Result r = TypeOurs(target, text, pacing);
        std::printf("%-10s %-28s %10.0f %8.2f%% %10s\n", "Quenby", "10,000 mixed into GTK 3",
                    r.rate, r.right, r.connected ? "yes" : "NO");
        std::printf("REPORT wayland typing 10,000 chars, Quenby|%.0f chars/s, %.2f%% right\n",
                    r.rate, r.right);
    }
    {
        // A fresh compositor and recorder: the run above must not decide how wtype fares.
        test::CHeadlessSway sway;
        Target target = StartTarget(sway, "GTK3");
        if (!sway.Failure().empty() || !target.Up()) {
            std::printf("no compositor or recorder for wtype: %s\n", sway.Failure().c_str());
            return 1;
        }
        const auto start = Clock::now();
        auto wtype = sway.Run({"wtype", Utf8FromUtf16(text + kMarker)});
        std::string received;
        const bool got = ReadText(target, received, 300000);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        wtype->Wait();
        const double rate = double(text.size()) / seconds;
        const double right = got ? 100.0 * ShareRight(text, Utf16FromUtf8(received)) : 0.0;
        std::printf("%-10s %-28s %10.0f %8.2f%%\n", "wtype", "10,000 mixed into GTK 3", rate,
                    right);
        std::printf("REPORT wayland typing 10,000 chars, wtype|%.0f chars/s, %.2f%% right\n", rate,
                    right);
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sweep") == 0) {
            Sweep();
        }
    }
    return 0;
}
