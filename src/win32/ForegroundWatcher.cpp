#include "win32/ForegroundWatcher.h"

#include <atomic>

namespace quenby {
namespace {

std::atomic<CForegroundWatcher*> g_pWatcher{nullptr};

}  // namespace

CForegroundWatcher::CForegroundWatcher() {
    g_pWatcher.store(this);
    m_hook = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                               &CForegroundWatcher::OnForeground, 0, 0, WINEVENT_OUTOFCONTEXT);
}

CForegroundWatcher::~CForegroundWatcher() {
    if (m_hook != nullptr) {
        ::UnhookWinEvent(m_hook);
    }
    g_pWatcher.store(nullptr);
}

std::optional<FocusedWindow> CForegroundWatcher::GetFocusedWindow() {
    HWND window = ::GetForegroundWindow();
    if (window == nullptr) {
        return FocusedWindow{};
    }
    const std::lock_guard lock(m_cacheMutex);
    if (window != m_lastWindow) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        m_lastWindow = window;
        m_bLastOwn = process == ::GetCurrentProcessId();
    }
    return FocusedWindow{reinterpret_cast<std::uintptr_t>(window), m_bLastOwn};
}

void CForegroundWatcher::SetFocusChangeHandler(std::function<void()> onChange) {
    const std::lock_guard lock(m_mutex);
    m_onChange = std::move(onChange);
}

void CALLBACK CForegroundWatcher::OnForeground(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD,
                                               DWORD) {
    if (CForegroundWatcher* watcher = g_pWatcher.load()) {
        const std::lock_guard lock(watcher->m_mutex);
        if (watcher->m_onChange) {
            watcher->m_onChange();
        }
    }
}

}  // namespace quenby
