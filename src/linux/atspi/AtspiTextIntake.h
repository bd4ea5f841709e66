#pragma once

#include <memory>

#include "linux/wayland/TextIntake.h"

namespace quenby {

class CAtspiWorker;

// What the focused field has taken in, as its application announces on the accessibility bus:
// the characters of each text insertion into it, whether it went away (defunct, or its
// application left the bus), and whether its application still answers a call. Applications
// announce only the events someone listens for, so the listener, once there, stays until this
// object goes: one made for each message would miss the first insertions.
class CAtspiTextIntake final : public ITextIntake {
public:
    explicit CAtspiTextIntake(std::shared_ptr<CAtspiWorker> worker);
    ~CAtspiTextIntake() override;
    CAtspiTextIntake(const CAtspiTextIntake&) = delete;
    CAtspiTextIntake& operator=(const CAtspiTextIntake&) = delete;

    bool Begin() override;
    void End() override;
    TextIntakeState Wait(const TextIntakeState& seen, std::chrono::milliseconds timeout) override;
    void Ask() override;

    // What the listener, the tasks and the typing thread share.
    struct State;

private:
    std::shared_ptr<CAtspiWorker> m_worker;
    std::shared_ptr<State> m_state;
    void* m_listener = nullptr;  // the AtspiEventListener, used on the worker's thread only
};

}  // namespace quenby
