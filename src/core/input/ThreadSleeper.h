#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/Timers.h"

namespace quenby {

// Sleeps the calling thread on a condition variable, so a stop wakes it at once instead of
// the pause being slept out.
class CThreadSleeper final : public ISleeper {
public:
    bool Sleep(std::uint32_t milliseconds, const std::function<bool()>& stop) override;
    void Wake() override;

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

}  // namespace quenby
