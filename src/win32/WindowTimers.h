#pragma once

#include <functional>

#include "platform/Timers.h"
#include "win32/MessageWindow.h"

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

}  // namespace quenby
