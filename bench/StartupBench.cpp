// Starts the built program on a virtual X server and prints how long it takes to show its window
// (empty, and with a 1,000,000-message list), its resident memory then, and its CPU time and
// wake-ups (context switches of all its threads) over idle periods: doing nothing, and waiting
// for a message 60 seconds away.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "storage/DataFileCodec.h"
#include "support/ChildProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Whether a top-level window with this name exists.
bool WindowExists(const std::string& name) {
    return quenby::test::RunCommand({"xdotool", "search", "--name", "^" + name + "$"}) == 0;
}

double WaitForWindow(const std::string& name, Clock::time_point start) {
    while (!WindowExists(name)) {
        if (Clock::now() - start > 120s) {
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long StatusField(const std::string& file, const std::string& field) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return 0;
}

// CPU seconds used, and context switches of each thread by its id.
std::pair<double, std::map<std::string, long>> CpuAndWakeups(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    long user = 0;
    long system = 0;
    for (int i = 3; i <= 13; ++i) {
        fields >> skip;
    }
    fields >> user >> system;
    std::map<std::string, long> switches;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        const std::string status = task.path().string() + "/status";
        switches[task.path().filename().string()] =
            StatusField(status, "voluntary_ctxt_switches") +
            StatusField(status, "nonvoluntary_ctxt_switches");
    }
    return {static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK)),
            switches};
}

void Idle(const char* what, int pid, int seconds) {
    const auto before = CpuAndWakeups(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto after = CpuAndWakeups(pid);
    // Threads that ended meanwhile take their counts with them: count what each living one did.
    long wakeups = 0;
    for (const auto& [thread, count] : after.second) {
        const auto earlier = before.second.find(thread);
        wakeups += count - (earlier != before.second.end() ? earlier->second : 0);
    }
    const double cpu = 100.0 * (after.first - before.first) / seconds;
    const double rate = static_cast<double>(wakeups) / seconds;
    std::printf("%-44s %8.2f%% CPU %8.2f wake-ups/s (%zu threads)\n", what, cpu, rate,
                after.second.size());
    std::printf("REPORT %s|%.2f%% CPU, %.2f wake-ups/s\n", what, cpu, rate);
}

}  // namespace

int main() {
    quenby::test::CChildProcess server({"Xvfb", "-displayfd", "1", "-noreset", "-nolisten", "tcp"});
    std::string number;
    if (!server.ReadLine(number, 20000)) {
        return 1;
    }
    char folder[] = "/tmp/quenby-startup-XXXXXX";
    const std::filesystem::path home = ::mkdtemp(folder);
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (home / "no-bus").string()).c_str(), 1);
    std::filesystem::create_directories(home / ".config/Holvane");
    std::ofstream(home / ".config/Holvane/Quenby by Holvane.conf")
        << "[Settings]\nStartStopAutomaticTyping Key=116\nStartStopAutomaticTyping Mod=6\n";

    std::printf("%-44s %10s %12s\n", "start-up", "ms", "RSS (MiB)");
    auto start = Clock::now();
    {
        quenby::test::CChildProcess quenby({QUENBY_PROGRAM});
        const double shown = WaitForWindow("Untitled - Quenby by Holvane", start);
        std::this_thread::sleep_for(300ms);
        const std::string status = "/proc/" + std::to_string(quenby.Pid()) + "/status";
        const double rss = static_cast<double>(StatusField(status, "VmRSS")) / 1024.0;
        std::printf("%-44s %10.0f %12.1f\n", "window shown, empty list", shown, rss);
        std::printf("REPORT start-up, empty list|window in %.0f ms, RSS %.1f MiB\n", shown, rss);
        Idle("idle, 30 s", quenby.Pid(), 30);
    }

    // A list of a million messages of about forty characters.
    quenby::CMessageList list;
    for (int i = 0; i < 1000000; ++i) {
        list.AddMessageItem(i, {u"A message of about forty characters, no. " +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i % 10)),
                                60, 0, false, true, 20, 60});
    }
    const std::filesystem::path big = home / "big.quenbydata";
    const auto bytes = quenby::EncodeDataFile(list, quenby::EDataFileForm::Plain, nullptr);
    std::ofstream(big, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.value().data()),
               static_cast<std::streamsize>(bytes.value().size()));
    start = Clock::now();
    {
        quenby::test::CChildProcess quenby({QUENBY_PROGRAM, big.string()});
        const double shown = WaitForWindow("big - Quenby by Holvane", start);
        std::this_thread::sleep_for(300ms);
        const std::string status = "/proc/" + std::to_string(quenby.Pid()) + "/status";
        const double rss = static_cast<double>(StatusField(status, "VmRSS")) / 1024.0;
        std::printf("%-44s %10.0f %12.1f\n", "window shown, 1,000,000 messages loaded", shown, rss);
        std::printf("REPORT start-up, 1,000,000 messages|window in %.0f ms, RSS %.1f MiB\n", shown,
                    rss);
        // Start a run: its first message waits 60 seconds.
        quenby::test::RunCommand({"xdotool", "key", "ctrl+shift+F5"});
        std::this_thread::sleep_for(1s);
        Idle("waiting for a message 60 s away, 30 s", quenby.Pid(), 30);
    }
    std::filesystem::remove_all(home);
    return 0;
}
