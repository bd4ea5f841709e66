// Plays a typing run of many scheduled messages in virtual time and prints the scheduler's own
// cost per step and the process's memory as the run goes on.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/AppSettings.h"
#include "engine/MessageList.h"
#include "engine/TypingRun.h"
#include "fakes/MemoryProfileStore.h"
#include "platform/MessageTypist.h"
#include "platform/Pointer.h"
#include "platform/Timers.h"

namespace {

using namespace quenby;

// Timers that fire when asked to, and a typist that types nothing: what is left is the run.
class CBenchTimers final : public ITimers {
public:
    bool SetTimer(int, std::uint32_t) override { return m_bArmed = true; }
    void KillTimer(int) override { m_bArmed = false; }
    bool m_bArmed = false;
};
class CNoTypist final : public IMessageTypist {
public:
    void TypeMessage(TypingJob job, std::function<void(TypingResult)> done) override {
        m_iCharacters += job.m_strText.size();
        done(TypingResult{});
    }
    void StopNow() override {}
    std::size_t m_iCharacters = 0;
};
class CFixedPointer final : public IPointer {
public:
    std::optional<ScreenPoint> GetCursorPos() override { return ScreenPoint{1, 1}; }
};
class CHost final : public ITypingRunHost {
public:
    void UpdateRunIcons() override { ++m_iIconUpdates; }
    void OnMessageDone() override {}
    void OnTypingFailed(const Status&) override {}
    void OnTypingInterrupted(ETypingEnd) override {}
    long m_iIconUpdates = 0;
};

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    const long steps = argc > 1 ? std::stol(argv[1]) : 1000000;
    const int rows = argc > 2 ? std::stoi(argv[2]) : 1000;

    CMessageList list;
    for (int i = 0; i < rows; ++i) {
        list.AddMessageItem(i, {u"A message of about forty characters, no." +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i % 10)),
                                0, 10, true, false, 20, 60});
    }
    CBenchTimers timers;
    CFixedPointer pointer;
    CNoTypist typist;
    test::CMemoryProfileStore profile;  // empty: every value at its default
    CAppSettings settings(profile);
    CHost host;
    std::atomic<bool> runActive{false};
    CTypingRun run(CTypingRun::Services{list, timers, pointer, typist, settings, runActive, host});
    run.m_iCount = 0;

    std::printf("scheduler: %ld steps over %d rows, virtual time\n", steps, rows);
    std::printf("%12s %14s %12s\n", "steps", "ns per step", "RSS (KiB)");
    std::printf("%12d %14s %12ld\n", 0, "-", ResidentKilobytes());
    run.ToggleTypingRun();
    long done = 0;
    const auto start = std::chrono::steady_clock::now();
    auto lap = start;
    for (long checkpoint = steps / 10; done < steps; checkpoint += steps / 10) {
        for (; done < checkpoint && timers.m_bArmed; ++done) {
            run.OnNextMessageTimer();
        }
        const auto now = std::chrono::steady_clock::now();
        const double ns = std::chrono::duration<double, std::nano>(now - lap).count() /
                          static_cast<double>(steps / 10);
        lap = now;
        std::printf("%12ld %14.1f %12ld\n", done, ns, ResidentKilobytes());
        if (!timers.m_bArmed) {
            break;
        }
    }
    const double total = std::chrono::duration<double>(lap - start).count();
    std::printf(
        "mean: %.1f ns per step (each step copies the row for typing: %zu characters "
        "in all)\n",
        total * 1e9 / static_cast<double>(done), typist.m_iCharacters);
    std::printf(
        "REPORT scheduler, %ld steps over %d rows|%.1f ns per step, RSS %ld KiB at the end\n", done,
        rows, total * 1e9 / static_cast<double>(done), ResidentKilobytes());
    return done == steps ? 0 : 1;
}
