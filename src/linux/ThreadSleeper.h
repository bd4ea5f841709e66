#pragma once

#include <chrono>
#include <thread>

#include "platform/Timers.h"

namespace quenby {

// Sleeps the calling thread: the pause before each character on the typing thread.
class CThreadSleeper final : public ISleeper {
public:
    void Sleep(std::uint32_t milliseconds) override {
        if (milliseconds > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        }
    }
};

}  // namespace quenby
