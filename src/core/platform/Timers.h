#pragma once

#include <cstdint>

namespace quenby {

// One-shot timers of a window, delivered on the UI thread by the owner's OnTimer(id).
class ITimers {
public:
    virtual ~ITimers() = default;
    // Arms timer `id` to fire once after `milliseconds`, replacing an armed one of the same id;
    // false when it cannot be armed.
    virtual bool SetTimer(int id, std::uint32_t milliseconds) = 0;
    // Disarms timer `id`; nothing happens when it is not armed.
    virtual void KillTimer(int id) = 0;
};

// Waits on the calling thread (the typing thread: the pause before each character).
class ISleeper {
public:
    virtual ~ISleeper() = default;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace quenby
