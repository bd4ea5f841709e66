#pragma once

#include <cstdint>
#include <functional>

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

// Waits on the calling thread (the typing thread: the pause before each character), cut short
// by a stop.
class ISleeper {
public:
    virtual ~ISleeper() = default;
    // Waits `milliseconds`, or less: returns false as soon as `stop` is true. `stop` is asked at
    // the start and after every Wake(); true when the whole time passed.
    virtual bool Sleep(std::uint32_t milliseconds, const std::function<bool()>& stop) = 0;
    // Any thread: every Sleep in progress asks its `stop` again.
    virtual void Wake() = 0;
};

}  // namespace quenby
