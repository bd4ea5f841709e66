#pragma once

#include <atomic>
#include <cstdint>

#include "engine/Outcome.h"
#include "platform/MessageTypist.h"
#include "platform/TextSetter.h"

namespace quenby {

class CAppSettings;
class CMessageList;
class IMessageTypist;
class IPointer;
class ITimers;

// Timers of the main window.
inline constexpr int TIMER_NEXT_MESSAGE = 1;
inline constexpr int TIMER_SCREENSHOT_KEYS = 2;
inline constexpr int TIMER_SCREENSHOT_NOTICE = 3;

// What the run tells the window it runs in.
class ITypingRunHost {
public:
    virtual ~ITypingRunHost() = default;
    // Show the running or the idle icon, as the run flag says.
    virtual void UpdateRunIcons() = 0;
    // A message has been typed and the next step scheduled (or the run ended).
    virtual void OnMessageDone() = 0;
    // No key could be sent; the run has been stopped.
    virtual void OnTypingFailed(const Status& why) = 0;
    // The focus left the message's window, or was in Quenby's own: the run has been stopped.
    virtual void OnTypingInterrupted(ETypingEnd why) = 0;
};

// The typing run: waits each message's own delay, types it, and goes on through the list in list
// or random order until the count is used up, the list is empty, or it is toggled off. The row
// count is read at every step, so list changes during a run are seen at its next step.
class CTypingRun {
public:
    struct Services {
        CMessageList& m_list;
        ITimers& m_timers;
        IPointer& m_pointer;
        IMessageTypist& m_typist;
        CAppSettings& m_settings;
        std::atomic<bool>& m_runActive;
        ITypingRunHost& m_host;
    };
    explicit CTypingRun(const Services& services) : m_s(services) {}

    // Starts a run when none is active, otherwise stops it.
    void ToggleTypingRun();
    // Advances to the next row and arms the message timer, or ends the run; true when armed.
    bool ScheduleNextMessage();
    void StopTypingRun();
    // Ends the run at once: the message being typed stops before its next key event (its pause
    // cut short, its keys released, no Enter after), and nothing more is scheduled. False when
    // no run was active.
    bool StopNow();
    // The message timer fired: type the current row, then schedule the next one.
    void OnNextMessageTimer();
    // A message is being typed (its completion has not been reported yet).
    bool IsTypingMessage() const { return m_bTypingMessage; }

    std::int32_t m_iCount = 5;  // repetitions; 0 without end
    bool m_bRandomOrder = false;

private:
    void OnTyped(const TypingResult& result);

    Services m_s;
    std::int32_t m_nCurrentRow = -1;
    std::int32_t m_nMessagesScheduled = 0;
    bool m_bSetTextAtCursor = false;
    ScreenPoint m_ptRunCursor;
    bool m_bTypingMessage = false;
    // Stopped at once while a message was typed: its report ends the run instead of going on.
    bool m_bStoppedNow = false;
};

}  // namespace quenby
