#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/Outcome.h"
#include "platform/TextSetter.h"

namespace quenby {

// One message to type, with everything read from the list and the profile when it fell due, so
// typing it needs nothing from the UI thread.
struct TypingJob {
    std::u16string m_strText;
    bool m_bEnterBefore = false;
    bool m_bEnterAfter = false;
    std::uint32_t m_uCharDelayMin = 20;
    std::uint32_t m_uCharDelayMax = 60;
    std::int32_t m_iKeyInputMethod = 1;
    bool m_bSetTextAtCursor = false;
    ScreenPoint m_ptRunCursor;
};

// Types one message, on the UI thread or off it, and reports back on the UI thread.
class IMessageTypist {
public:
    virtual ~IMessageTypist() = default;
    // Starts typing the job; `done` runs on the UI thread once the message and its Enter presses
    // are out (possibly before this call returns), with a failure when no key could be sent.
    virtual void TypeMessage(TypingJob job, std::function<void(Status)> done) = 0;
};

}  // namespace quenby
