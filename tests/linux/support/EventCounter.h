#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace quenby::test {

// Counts events that another thread (a watcher, a bus) reports, for a test to wait on.
class CEventCounter {
public:
    void Add() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_iCount;
        m_changed.notify_all();
    }
    // Waits until `done(count)` holds, looked at under the lock Add() takes; false after 20 s.
    bool WaitUntil(const std::function<bool(int)>& done) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [&] { return done(m_iCount); });
    }
    // Waits for `count` events; the count then, so that extra ones show.
    int WaitFor(int count) {
        WaitUntil([count](int seen) { return seen >= count; });
        return Count();
    }
    int Count() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_iCount;
    }
    void Reset() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_iCount = 0;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_iCount = 0;
};

}  // namespace quenby::test
