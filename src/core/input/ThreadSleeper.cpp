#include "input/ThreadSleeper.h"

#include <chrono>

namespace quenby {

bool CThreadSleeper::Sleep(std::uint32_t milliseconds, const std::function<bool()>& stop) {
    std::unique_lock<std::mutex> lock(m_mutex);
    // `stop` is asked under the lock, and Wake() takes the lock before it notifies: a stop made
    // between the question and the wait is not missed.
    return !m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds), stop);
}

void CThreadSleeper::Wake() {
    { const std::lock_guard<std::mutex> lock(m_mutex); }
    m_wake.notify_all();
}

}  // namespace quenby
