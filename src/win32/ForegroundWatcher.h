#pragma once

#include <windows.h>

#include <functional>
#include <mutex>

#include "platform/FocusWatcher.h"

namespace quenby {

// The foreground window (the top-level window that gets the keys), and a call each time it
// changes through SetWinEventHook(EVENT_SYSTEM_FOREGROUND). One per process: the hook's callback
// has no context of its own.
class CForegroundWatcher final : public IFocusWatcher {
public:
    // Must be made on the UI thread: the hook's calls arrive through its message loop.
    CForegroundWatcher();
    ~CForegroundWatcher() override;
    CForegroundWatcher(const CForegroundWatcher&) = delete;
    CForegroundWatcher& operator=(const CForegroundWatcher&) = delete;

    // Asks Windows each time (a read of the desktop's state, no round trip to the window): Wine
    // sends no EVENT_SYSTEM_FOREGROUND, and on Windows the hook's calls wait for the UI thread.
    std::optional<FocusedWindow> GetFocusedWindow() override;
    void SetFocusChangeHandler(std::function<void()> onChange) override;

private:
    static void CALLBACK OnForeground(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                      LONG child, DWORD thread, DWORD time);

    HWINEVENTHOOK m_hook = nullptr;
    std::mutex m_mutex;  // for the handler
    std::function<void()> m_onChange;
    std::mutex m_cacheMutex;  // for the two below
    // The window last asked about and whether it is ours: asking which process a window belongs
    // to costs as much again, and the answer only changes with the window.
    HWND m_lastWindow = nullptr;
    bool m_bLastOwn = false;
};

}  // namespace quenby
