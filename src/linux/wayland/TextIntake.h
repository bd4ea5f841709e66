#pragma once

#include <chrono>
#include <cstdint>

namespace quenby {

// What the focused application has shown of its reading of the text typed into it.
struct TextIntakeState {
    std::uint64_t m_uTaken = 0;    // characters its field took in since the message began
    std::uint64_t m_uAnswers = 0;  // its answers to ITextIntake::Ask
    bool m_bGone = false;          // the field, or the application, went away
    bool operator==(const TextIntakeState&) const = default;
};

// How far the focused application has read what a virtual keyboard sent it, where that can be
// seen: a compositor passes keys on as fast as they come, and only the application's own field
// tells when they have become text. Used by one typing thread at a time.
class ITextIntake {
public:
    virtual ~ITextIntake() = default;
    // Starts watching the focused field for one message; false when it cannot be watched (no
    // field is focused, or it tells nothing of its text).
    virtual bool Begin() = 0;
    virtual void End() = 0;
    // Returns as soon as the state differs from `seen`, or after `timeout` at the latest.
    virtual TextIntakeState Wait(const TextIntakeState& seen,
                                 std::chrono::milliseconds timeout) = 0;
    // Asks the application whether it still runs; the answer comes later, in the state. An ask
    // still under way is not repeated.
    virtual void Ask() = 0;
};

}  // namespace quenby
