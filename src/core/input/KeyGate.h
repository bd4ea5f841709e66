#pragma once

#include <atomic>
#include <optional>

#include "platform/FocusWatcher.h"
#include "platform/MessageTypist.h"

namespace quenby {

// What the typing thread asks before every key event of one message: whether the run was stopped
// at once, and whether the keyboard focus is still in the window the message started in (and
// never in one of Quenby's own). Asking takes no round trip to the system: the focus is what the
// watcher's events reported last.
class CKeyGate {
public:
    CKeyGate(const std::atomic<bool>& runActive, const std::atomic<bool>& stopNow,
             IFocusWatcher* focus, bool stopOnFocusChange)
        : m_runActive(runActive),
          m_stopNow(stopNow),
          m_focus(focus),
          m_bStopOnFocusChange(stopOnFocusChange) {}

    // At the message's start: the focused window becomes its target. OwnWindow (nothing may be
    // typed) when that is one of Quenby's windows, Stopped when the run was stopped at once.
    ETypingEnd Open();
    // Before a key event: Completed to go on, otherwise why typing must end here.
    ETypingEnd Check() const;
    // The run flag: once false, the rest of the text is dropped (Enter after is still pressed).
    bool RunActive() const { return m_runActive.load(); }

private:
    const std::atomic<bool>& m_runActive;
    const std::atomic<bool>& m_stopNow;
    IFocusWatcher* m_focus;
    bool m_bStopOnFocusChange;
    std::optional<FocusedWindow> m_target;  // none: the desktop does not tell
};

}  // namespace quenby
