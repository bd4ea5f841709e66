#pragma once

namespace quenby {

// Esc taken from every application while a run is active, so one press stops the run at once.
// The shell hands presses to the controller's OnStopNow on the UI thread.
class IStopKey {
public:
    virtual ~IStopKey() = default;
    // Takes Esc for the run; false when the system refuses it (another program holds it).
    virtual bool Take() = 0;
    // Gives Esc back to the applications; nothing happens when it is not taken.
    virtual void Release() = 0;
};

}  // namespace quenby
