#pragma once

#include <functional>

#include "input/ThreadSleeper.h"
#include "platform/Timers.h"
#include "win32/MessageWindow.h"
#include "win32/SendInputKeyboard.h"

namespace quenby {

// One-shot timers through SetTimer on a message-only window of the UI thread: WM_TIMER arrives
// through that thread's message loop, and each timer is killed as it fires, since Windows' timers
// repeat and the core's fire once.
class CWindowTimers final : public ITimers {
public:
    // Must be made on the UI thread; `onTimer` runs there.
    explicit CWindowTimers(std::function<void(int)> onTimer);

    bool SetTimer(int id, std::uint32_t milliseconds) override;
    void KillTimer(int id) override;

private:
    std::function<void(int)> m_onTimer;
    CMessageWindow m_window;
};

// Sleeps the typing thread for the pause before a character, cut short by a stop. The keys kept
// so far go out first; at no pause they stay kept, to go out with the next ones.
class CWin32Sleeper final : public ISleeper {
public:
    explicit CWin32Sleeper(CSendInputKeyboard& keyboard) : m_keyboard(keyboard) {}
    bool Sleep(std::uint32_t milliseconds, const std::function<bool()>& stop) override;
    void Wake() override { m_sleeper.Wake(); }

private:
    CSendInputKeyboard& m_keyboard;
    CThreadSleeper m_sleeper;
};

}  // namespace quenby
