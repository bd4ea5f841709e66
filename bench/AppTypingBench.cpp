// Types the same texts into real applications, on X11 (Xvfb) and Wayland (a headless sway), with
// Quenby and with the tools people compare it with (xdotool on X11, wtype on Wayland), and prints
// for each run the characters per second until the application had the whole text, the share of
// characters that arrived right, and whether the application still answers afterwards.
//
//   quenby_bench_app_typing [x11|wayland]... [chromium|firefox|xterm|gtk3|foot]...
//
// Without arguments every application on both platforms. Run it as root (sway runs as an
// unprivileged user of its own) or as a user with no compositor of their own.
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AppBenchTargets.h"
#include "TypingBenchSupport.h"
#include "engine/WideText.h"
#include "input/ThreadSleeper.h"
#include "input/TypingJob.h"
#include "linux/wayland/WaylandKeyboard.h"
#include "linux/x11/X11Keyboard.h"

namespace {

using namespace quenby;
using bench::CBenchTarget;
using Clock = std::chrono::steady_clock;

constexpr int kUnicode = 0;
constexpr int kLayout = 1;

// How long an application may take, once the typist is done, to show the end of the text.
constexpr int kArrivalMs = 60000;

// Quenby at no pause.
void TypeWithQuenby(IKeyboard& keyboard, const std::u16string& text, int method) {
    bench::CNoTextSetters setters;
    CThreadSleeper sleeper;
    std::atomic<bool> running{true};
    const KeystrokeServices services{keyboard, setters, sleeper, running};
    TypingJob job;
    job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
    job.m_iKeyInputMethod = method;
    job.m_strText = text;
    (void)RunTypingJob(services, job);
}

// The end marker, after every typist's text, by Quenby's Unicode method (no layout has it): a
// typist that loses characters must not lose the marker too, or what it typed stays unseen.
void TypeEndMarker(IKeyboard& keyboard) {
    TypeWithQuenby(keyboard, std::u16string(1, bench::kEndMarker), kUnicode);
}

// A typist: sends a text and returns once it has sent it.
struct Typist {
    std::string name;
    std::function<void(const std::u16string&)> type;
    bool asciiOnly = false;  // the layout method: the layout has no other characters
};

struct Text {
    std::string name;
    std::u16string text;
};

std::vector<Text> Texts() {
    std::u16string ascii;
    for (std::size_t i = 0; i < 2000; ++i) {
        ascii.push_back(static_cast<char16_t>(0x20 + i % 95));  // every printable character
    }
    // 300 different characters no layout of a Latin alphabet has, Cyrillic and CJK in turn, with
    // a short ASCII word every seven.
    std::u16string missing;
    for (char16_t i = 0; i < 300; ++i) {
        missing.push_back(static_cast<char16_t>(i % 2 != 0 ? 0x5000 + i / 2 * 3 : 0x0400 + i / 2));
        missing += i % 7 == 6 ? u" ab " : u"";
    }
    return {{"ASCII " + std::to_string(ascii.size()), ascii},
            {"Cyr+CJK " + std::to_string(missing.size()), missing}};
}

// One line of the table.
struct Row {
    std::string platform, application, text, typist;
    double rate = 0;  // 0: the end never arrived
    std::size_t right = 0, total = 0;
    bool known = true;        // false: what came before the lost end marker is unknown
    std::string after = "?";  // whether the application still takes text
};

void PrintRow(std::FILE* out, const Row& r) {
    char rate[32] = "-";
    if (r.rate > 0) {
        std::snprintf(rate, sizeof rate, "%.0f", r.rate);
    }
    char share[32];
    if (r.known) {
        std::snprintf(share, sizeof share, "%zu/%zu", r.right, r.total);
    } else {
        std::snprintf(share, sizeof share, "?/%zu", r.total);
    }
    std::fprintf(out, "%-8s %-9s %-12s %-19s %8s %11s  %s\n", r.platform.c_str(),
                 r.application.c_str(), r.text.c_str(), r.typist.c_str(), rate, share,
                 r.after.c_str());
}

// Whether a process has ended (or is a zombie: it has ended, and nobody asked yet).
bool Ended(int pid) {
    std::string stat;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/stat"), stat);
    const std::size_t name = stat.rfind(')');
    return name == std::string::npos || name + 2 >= stat.size() || stat[name + 2] == 'Z';
}

// Whether the application still takes keys: a short text by Quenby arrives, after whatever the
// run before left on its way. Each try's text is another, so that a late answer to an earlier
// try is not taken for the last one and left to pass for the next run's text. `before`: what
// arrived ahead of the tries' texts (a run's text whose end marker got lost).
bool Answers(CBenchTarget& target, IKeyboard& keyboard, int tries, int timeoutMs,
             std::u16string* before = nullptr) {
    static int sent = 0;
    std::vector<std::u16string> tokens;
    std::u16string all;
    for (int i = 0; i < tries; ++i) {
        tokens.push_back(u"ok" + Utf16FromUtf8(std::to_string(++sent)));
        TypeWithQuenby(keyboard, tokens.back(), kUnicode);
        TypeEndMarker(keyboard);
        std::u16string got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline && target.Read(got, timeoutMs)) {
            all += got;
            const std::u16string& token = tokens.back();
            if (got.size() >= token.size() &&
                got.compare(got.size() - token.size(), token.size(), token) == 0) {
                for (const std::u16string& t : tokens) {
                    const std::size_t at = all.rfind(t);
                    all.erase(at == std::u16string::npos ? all.size() : at, t.size());
                }
                if (before != nullptr) {
                    *before = all;
                }
                return true;
            }
        }
    }
    return false;
}

// Every text by every typist into one application, which is started again whenever it stopped
// answering.
void Measure(const std::string& platform, const std::string& application,
             const std::function<std::unique_ptr<CBenchTarget>()>& start, IKeyboard& keyboard,
             const std::vector<Typist>& typists, std::vector<Row>& rows) {
    std::unique_ptr<CBenchTarget> target;
    std::string failure;  // why the application could not be started for the next run
    const auto startTarget = [&] {
        target = start();
        failure = target->Failure();
        // A page may take keys only some time after it says it has the focus.
        if (failure.empty() && !Answers(*target, keyboard, 10, 6000)) {
            failure = "never took the first keys";
        }
        if (!failure.empty()) {
            target.reset();
        }
    };
    for (const Text& text : Texts()) {
        for (const Typist& typist : typists) {
            if (typist.asciiOnly && text.name.rfind("ASCII", 0) != 0) {
                continue;
            }
            if (!target) {
                startTarget();
            }
            Row row{platform, application, text.name, typist.name};
            row.total = text.text.size();
            if (!target) {
                row.known = false;
                row.after = "NOT STARTED: " + failure;
                PrintRow(stderr, row);
                rows.push_back(row);
                return;
            }
            const auto begin = Clock::now();
            typist.type(text.text);
            TypeEndMarker(keyboard);
            std::u16string got;
            const bool ended = target->Read(got, kArrivalMs);
            const std::chrono::duration<double> took = Clock::now() - begin;
            row.known = ended || target->ShowsPartialText();
            if (ended) {
                row.rate = static_cast<double>(text.text.size()) / took.count();
            }
            row.right = static_cast<std::size_t>(
                std::lround(bench::ShareRight(text.text, got) * static_cast<double>(row.total)));
            std::u16string late;
            const bool answered = Answers(*target, keyboard, 2, 20000, &late);
            if (!ended && answered) {
                // The end marker was lost or late, and the rest of the text came ahead of the
                // check's.
                row.known = true;
                row.right = static_cast<std::size_t>(std::lround(
                    bench::ShareRight(text.text, got + late) * static_cast<double>(row.total)));
            }
            row.after = answered               ? (ended ? "yes" : "yes (end marker lost)")
                        : Ended(target->Pid()) ? "NO: exited (disconnected?)"
                                               : "NO: runs, takes no text";
            PrintRow(stderr, row);
            rows.push_back(row);
            if (!answered) {
                target.reset();  // a fresh one for the next run
            }
        }
    }
}

std::string LoadAverage() {
    std::string load;
    std::getline(std::ifstream("/proc/loadavg"), load);
    return load.substr(0, load.find(' ', load.find(' ', load.find(' ') + 1) + 1));
}

void MeasureX11(const std::filesystem::path& folder, const std::function<bool(std::string)>& wanted,
                std::vector<Row>& rows) {
    test::CChildProcess server({"Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp",
                                "-screen", "0", "1280x1024x24"});
    std::string number;
    if (!server.ReadLine(number, 20000)) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    CX11Keyboard keyboard;
    const auto xdotool = [](const char* delay) {
        return [delay](const std::u16string& text) {
            std::vector<std::string> command{"xdotool", "type"};
            if (delay != nullptr) {
                command.insert(command.end(), {"--delay", delay});
            }
            command.push_back(Utf8FromUtf16(text));
            test::RunCommand(command);
        };
    };
    const std::vector<Typist> typists{
        {"Quenby Unicode", [&](const auto& t) { TypeWithQuenby(keyboard, t, kUnicode); }},
        {"Quenby layout", [&](const auto& t) { TypeWithQuenby(keyboard, t, kLayout); }, true},
        {"xdotool --delay 0", xdotool("0")},
        {"xdotool (12 ms)", xdotool(nullptr)}};
    const struct {
        const char* name;
        std::function<std::unique_ptr<CBenchTarget>()> start;
    } applications[] = {
        {"chromium",
         [&] { return std::make_unique<bench::CX11BrowserTarget>("chromium", folder); }},
        {"firefox", [&] { return std::make_unique<bench::CX11BrowserTarget>("firefox", folder); }},
        {"xterm", [&] { return std::make_unique<bench::CXtermTarget>(folder); }},
        {"gtk3", [] { return std::make_unique<bench::CX11GtkTarget>(); }}};
    for (const auto& application : applications) {
        if (wanted(application.name)) {
            Measure("X11", application.name, application.start, keyboard, typists, rows);
        }
    }
    ::unsetenv("DISPLAY");
}

void MeasureWayland(const std::function<bool(std::string)>& wanted, std::vector<Row>& rows) {
    for (const std::string name : {"foot", "chromium", "firefox", "gtk3"}) {
        if (!wanted(name)) {
            continue;
        }
        // A compositor for each application, so one flooded does not decide how the next fares.
        test::CHeadlessSway sway;
        if (!sway.Failure().empty()) {
            std::fprintf(stderr, "%s\n", sway.Failure().c_str());
            return;
        }
        CWaylandKeyboard keyboard;
        const std::vector<Typist> typists{
            {"Quenby Unicode", [&](const auto& t) { TypeWithQuenby(keyboard, t, kUnicode); }},
            {"Quenby layout", [&](const auto& t) { TypeWithQuenby(keyboard, t, kLayout); }, true},
            {"wtype", [&](const auto& t) {
                 sway.Run({"wtype", Utf8FromUtf16(t)})->Wait();
             }}};
        Measure(
            "Wayland", name,
            [&]() -> std::unique_ptr<CBenchTarget> {
                if (name == "gtk3") {
                    return std::make_unique<bench::CWaylandGtkTarget>(sway);
                }
                return std::make_unique<bench::CWaylandAppTarget>(sway, name);
            },
            keyboard, typists, rows);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::set<std::string> platforms, applications;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        (arg == "x11" || arg == "wayland" ? platforms : applications).insert(arg);
    }
    const auto wants = [](const std::set<std::string>& chosen, const std::string& name) {
        return chosen.empty() || chosen.count(name) != 0;
    };
    const auto wanted = [&](const std::string& name) { return wants(applications, name); };

    // A home of the bench's own, for the browsers' profiles and the terminal's output.
    std::string pattern = (std::filesystem::temp_directory_path() / "quenby-bench-XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const std::filesystem::path folder = pattern;
    ::setenv("HOME", pattern.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (folder / ".config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (folder / ".cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / ".local/share").c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");

    const std::string loadBefore = LoadAverage();
    const auto began = Clock::now();
    std::vector<Row> rows;
    std::fprintf(stderr, "Runs as they finish:\n");
    if (wants(platforms, "x11")) {
        MeasureX11(folder, wanted, rows);
    }
    if (wants(platforms, "wayland")) {
        MeasureWayland(wanted, rows);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);

    std::printf(
        "Each text typed at no pause, then an end marker; chars/s until the application had the "
        "marker (- when it never came), characters right (longest common subsequence), and "
        "whether the application still took a short text afterwards.\n"
        "%u cores, load average %s before and %s after, %.0f s in all.\n\n",
        std::thread::hardware_concurrency(), loadBefore.c_str(), LoadAverage().c_str(),
        std::chrono::duration<double>(Clock::now() - began).count());
    std::printf("%-8s %-9s %-12s %-19s %8s %11s  %s\n", "platform", "app", "text", "typist",
                "chars/s", "right/total", "answers after");
    for (const Row& row : rows) {
        PrintRow(stdout, row);
    }
    return 0;
}
