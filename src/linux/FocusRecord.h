#pragma once

#include <functional>
#include <mutex>

#include "platform/FocusWatcher.h"

namespace quenby {

// The focus a watcher last saw, and the handler told of each change; shared by the typing thread
// that asks and the watcher's own thread that learns.
class CFocusRecord {
public:
    FocusedWindow Get() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_focused;
    }
    void SetHandler(std::function<void()> onChange) {
        const std::lock_guard<std::mutex> lock(m_handlerMutex);
        m_onChange = std::move(onChange);
    }
    // Keeps `now`, and tells the handler when it differs from what was kept.
    void Set(const FocusedWindow& now) {
        bool changed = false;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            changed = !(now == m_focused);
            m_focused = now;
        }
        if (changed) {
            const std::lock_guard<std::mutex> lock(m_handlerMutex);
            if (m_onChange) {
                m_onChange();
            }
        }
    }

private:
    std::mutex m_mutex;  // guards m_focused
    FocusedWindow m_focused;
    std::mutex m_handlerMutex;  // held while the handler runs, so clearing it waits for a call
    std::function<void()> m_onChange;
};

}  // namespace quenby
