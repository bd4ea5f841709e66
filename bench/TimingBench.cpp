// How exactly the typing run keeps time, on the real timers and the real typing thread: the error
// of each message's start against its delay (timer armed -> first key), and the pauses between
// characters for bounds 20..60 ms. Keys go to a recorder that only notes when they came.
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

#include "app/AppSettings.h"
#include "engine/MessageList.h"
#include "engine/RunFlag.h"
#include "engine/TypingRun.h"
#include "fakes/MemoryProfileStore.h"
#include "input/ThreadSleeper.h"
#include "platform/Keyboard.h"
#include "platform/Pointer.h"
#include "qt/QtTimers.h"
#include "qt/ThreadedTypist.h"

namespace {

using namespace quenby;
using Clock = std::chrono::steady_clock;

std::mutex g_mutex;
std::vector<Clock::time_point> g_keys;  // every key press, in order

class CTimingOutput final : public IKeyboardOutput {
public:
    void BeginUnicodeText(std::u16string_view) override {}
    void EndUnicodeText() override {}
    void SendKey(KeyCode, bool) override {}
    void SendUnicodeUnit(char16_t, bool down) override {
        if (down) {
            std::lock_guard<std::mutex> lock(g_mutex);
            g_keys.push_back(Clock::now());
        }
    }
    void PressEnter() override {}
    void Beep() override {}
    std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() override { return nullptr; }
};
class CTimingKeyboard final : public IKeyboard {
public:
    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override {
        return std::unique_ptr<IKeyboardOutput>(std::make_unique<CTimingOutput>());
    }
};
class CNoSetters final : public ITextSetterFactory {
public:
    std::unique_ptr<ITextSetter> CreateTextSetter() override { return nullptr; }
};
class CNoPointer final : public IPointer {
public:
    std::optional<ScreenPoint> GetCursorPos() override { return std::nullopt; }
};
// Notes when the message timer is armed; the message is due that long after.
class CArmClock final : public ITimers {
public:
    explicit CArmClock(ITimers& timers) : m_timers(timers) {}
    bool SetTimer(int id, std::uint32_t milliseconds) override {
        if (id == TIMER_NEXT_MESSAGE) {
            m_due.push_back(Clock::now() + std::chrono::milliseconds(milliseconds));
        }
        return m_timers.SetTimer(id, milliseconds);
    }
    void KillTimer(int id) override { m_timers.KillTimer(id); }
    std::vector<Clock::time_point> m_due;

private:
    ITimers& m_timers;
};
class CQuitHost final : public ITypingRunHost {
public:
    void UpdateRunIcons() override {
        if (!g_bTypingRunActive.load()) {
            QCoreApplication::quit();
        }
    }
    void OnMessageDone() override {}
    void OnTypingFailed(const Status&) override { QCoreApplication::quit(); }
};

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1,
                           static_cast<std::size_t>(share * static_cast<double>(values.size())))];
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Runs a list through the real run and returns the due times of its messages.
std::vector<Clock::time_point> Run(CMessageList& list, int count) {
    test::CMemoryProfileStore profile;
    profile.WriteInt("Settings", "m_iKeyInputMethod", KEY_INPUT_UNICODE);
    CAppSettings settings(profile);
    CTypingRun* run = nullptr;
    CQtTimers timers([&run](int id) {
        if (id == TIMER_NEXT_MESSAGE) {
            run->OnNextMessageTimer();
        }
    });
    CArmClock armed(timers);
    CTimingKeyboard keyboard;
    CNoSetters setters;
    CThreadSleeper sleeper;
    QObject context;
    CThreadedTypist typist(KeystrokeServices{keyboard, setters, sleeper, g_bTypingRunActive},
                           &context);
    CNoPointer pointer;
    CQuitHost host;
    CTypingRun typingRun(
        CTypingRun::Services{list, armed, pointer, typist, settings, g_bTypingRunActive, host});
    run = &typingRun;
    typingRun.m_iCount = count;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_keys.clear();
    }
    QTimer::singleShot(0, [&] { typingRun.ToggleTypingRun(); });
    QCoreApplication::exec();
    armed.m_due.pop_back();  // the step that found the count used up armed nothing
    return armed.m_due;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::printf("%-34s %12s %12s %10s\n", "measure", "median", "99th pct", "samples");
    for (const int delay : {0, 10, 100, 1000}) {
        const int samples = delay >= 1000 ? 10 : delay >= 100 ? 40 : 200;
        CMessageList list;
        list.AddMessageItem(0, {u"x", 0, delay, false, false, 0, 0});
        const std::vector<Clock::time_point> due = Run(list, samples);
        std::vector<double> errors;
        for (std::size_t i = 0; i < due.size() && i < g_keys.size(); ++i) {
            errors.push_back(Ms(g_keys[i] - due[i]));
        }
        std::printf("start of a message, delay %4d ms   %9.3f ms %9.3f ms %10zu\n", delay,
                    Percentile(errors, 0.5), Percentile(errors, 0.99), errors.size());
        std::printf("REPORT delay %d ms start error|median %.2f ms, p99 %.2f ms\n", delay,
                    Percentile(errors, 0.5), Percentile(errors, 0.99));
    }
    CMessageList list;
    list.AddMessageItem(0, {std::u16string(300, u'p'), 0, 0, false, false, 20, 60});
    Run(list, 1);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < g_keys.size(); ++i) {
        gaps.push_back(Ms(g_keys[i] - g_keys[i - 1]));
    }
    int inside = 0;
    int bins[4] = {};
    for (double gap : gaps) {
        inside += gap >= 20.0 && gap <= 62.0 ? 1 : 0;
        bins[std::clamp(static_cast<int>((gap - 20.0) / 10.0), 0, 3)]++;
    }
    std::printf("pause before a character, 20..60  %9.3f ms %9.3f ms %10zu\n",
                Percentile(gaps, 0.5), Percentile(gaps, 0.99), gaps.size());
    std::printf("  inside 20..62 ms: %d of %zu; per 10 ms from 20: %d %d %d %d\n", inside,
                gaps.size(), bins[0], bins[1], bins[2], bins[3]);
    std::printf("REPORT pause 20..60 ms|%d of %zu inside 20..62 ms; quarters %d/%d/%d/%d\n", inside,
                gaps.size(), bins[0], bins[1], bins[2], bins[3]);
    return 0;
}
