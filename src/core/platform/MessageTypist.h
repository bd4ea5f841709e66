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
    // "m_bStopOnFocusChange": the window focused as the message starts is its only target.
    bool m_bStopOnFocusChange = true;
};

// How typing a message ended.
enum class ETypingEnd : std::uint8_t {
    Completed,   // every key sent, or the rest of the text dropped because the run flag went
    Stopped,     // stopped at once: nothing more, not even Enter after, was typed
    FocusMoved,  // another window took the focus: nothing more was typed
    OwnWindow,   // the focus was in one of Quenby's own windows: nothing more was typed
    Failed,      // keys could not be sent; m_status says why
};

struct TypingResult {
    ETypingEnd m_eEnd = ETypingEnd::Completed;
    Status m_status = Status::Ok();
    // Keys could be sent (whether or not the whole message was).
    bool ok() const { return m_status.ok(); }
};

// Types one message, on the UI thread or off it, and reports back on the UI thread.
class IMessageTypist {
public:
    virtual ~IMessageTypist() = default;
    // Starts typing the job; `done` runs on the UI thread once the message and its Enter presses
    // are out (possibly before this call returns).
    virtual void TypeMessage(TypingJob job, std::function<void(TypingResult)> done) = 0;
    // Any thread: the message being typed ends before its next key event, its pause cut short,
    // the keys it holds released; `done` still runs (with ETypingEnd::Stopped). The next
    // message is typed normally.
    virtual void StopNow() = 0;
};

}  // namespace quenby
