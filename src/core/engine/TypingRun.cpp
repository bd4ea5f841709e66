#include "engine/TypingRun.h"

#include <climits>
#include <utility>

#include "app/AppSettings.h"
#include "engine/MessageList.h"
#include "engine/RandomInRange.h"
#include "platform/MessageTypist.h"
#include "platform/Pointer.h"
#include "platform/Timers.h"

namespace quenby {
namespace {

std::int32_t RowCount(const CMessageList& list) {
    const std::size_t count = list.GetItemCount();
    return count > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX
                                                       : static_cast<std::int32_t>(count);
}

}  // namespace

void CTypingRun::ToggleTypingRun() {
    if (m_s.m_runActive.load()) {
        StopTypingRun();
        return;
    }
    m_bSetTextAtCursor = m_s.m_settings.GetTextSettingUp() != 0;
    m_nCurrentRow = -1;
    m_nMessagesScheduled = 0;
    if (const std::optional<ScreenPoint> point = m_s.m_pointer.GetCursorPos()) {
        m_ptRunCursor = *point;
    } else {
        m_bSetTextAtCursor = false;
    }
    ScheduleNextMessage();
}

void CTypingRun::StopTypingRun() {
    m_s.m_timers.KillTimer(TIMER_NEXT_MESSAGE);
    m_s.m_runActive.store(false);
    m_s.m_host.UpdateRunIcons();
}

bool CTypingRun::StopNow() {
    if (!m_s.m_runActive.load() && !m_bTypingMessage) {
        return false;
    }
    StopTypingRun();
    if (m_bTypingMessage) {
        m_bStoppedNow = true;
        m_s.m_typist.StopNow();
    }
    return true;
}

bool CTypingRun::ScheduleNextMessage() {
    const std::int32_t n = RowCount(m_s.m_list);
    if (m_bRandomOrder) {
        m_nCurrentRow =
            n == 0 ? 0
                   : static_cast<std::int32_t>(RandomInRange(0, static_cast<std::uint32_t>(n - 1)));
    } else {
        m_nCurrentRow = m_nCurrentRow == INT32_MAX ? 0 : m_nCurrentRow + 1;
    }
    if (n == 0) {
        m_s.m_timers.KillTimer(TIMER_NEXT_MESSAGE);
        m_s.m_runActive.store(false);
        m_s.m_host.UpdateRunIcons();
        return false;
    }
    if (m_nCurrentRow >= n) {
        m_nCurrentRow = 0;  // list order starts its next pass
    }
    if (m_nMessagesScheduled < INT32_MAX) {
        ++m_nMessagesScheduled;
    }
    std::int32_t seconds = 0;
    std::int32_t milliSeconds = 0;
    m_s.m_list.GetMessageDelay(static_cast<std::size_t>(m_nCurrentRow), seconds, milliSeconds);
    m_s.m_timers.KillTimer(TIMER_NEXT_MESSAGE);
    bool armed = false;
    // The limit is computed in 64 bits: count x rows may not fit in 32.
    if (m_iCount != 0 && std::int64_t{m_nMessagesScheduled} > std::int64_t{m_iCount} * n) {
        m_s.m_runActive.store(false);
    } else {
        const auto period =
            static_cast<std::uint32_t>(seconds) * 1000u + static_cast<std::uint32_t>(milliSeconds);
        armed = m_s.m_timers.SetTimer(TIMER_NEXT_MESSAGE, period);
        m_s.m_runActive.store(armed);
    }
    m_s.m_host.UpdateRunIcons();
    return armed;
}

void CTypingRun::OnNextMessageTimer() {
    // One-shot: the timer is armed again by the step after the message.
    m_s.m_timers.KillTimer(TIMER_NEXT_MESSAGE);
    if (m_nCurrentRow < 0 || m_nCurrentRow >= RowCount(m_s.m_list)) {
        // Rows were deleted while the delay ran: there is nothing at this index to type.
        ScheduleNextMessage();
        m_s.m_host.OnMessageDone();
        return;
    }
    const auto row = static_cast<std::size_t>(m_nCurrentRow);
    TypingJob job;
    m_s.m_list.GetMessageEnterFlags(row, job.m_bEnterBefore, job.m_bEnterAfter);
    job.m_strText = m_s.m_list.GetMessageText(row);
    job.m_uCharDelayMin = static_cast<std::uint32_t>(m_s.m_list.GetCharDelayMinCell(row));
    job.m_uCharDelayMax = static_cast<std::uint32_t>(m_s.m_list.GetCharDelayMaxCell(row));
    job.m_iKeyInputMethod = m_s.m_settings.GetKeyInputMethod();
    job.m_bSetTextAtCursor = m_bSetTextAtCursor;
    job.m_ptRunCursor = m_ptRunCursor;
    job.m_bStopOnFocusChange = m_s.m_settings.GetStopOnFocusChange() != 0;
    m_bTypingMessage = true;
    m_bStoppedNow = false;
    m_s.m_typist.TypeMessage(std::move(job), [this](TypingResult result) { OnTyped(result); });
}

void CTypingRun::OnTyped(const TypingResult& result) {
    m_bTypingMessage = false;
    const bool stoppedNow = std::exchange(m_bStoppedNow, false);
    if (result.m_eEnd == ETypingEnd::Failed) {
        StopTypingRun();
        m_s.m_host.OnTypingFailed(result.m_status);
        return;
    }
    if (stoppedNow || result.m_eEnd == ETypingEnd::Stopped) {
        // The run ended when the stop was asked (a focus change seen meanwhile is no news to
        // the user who stopped it); the message has now let go of its keys.
        StopTypingRun();
        m_s.m_host.OnMessageDone();
        return;
    }
    if (result.m_eEnd != ETypingEnd::Completed) {
        StopTypingRun();
        m_s.m_host.OnTypingInterrupted(result.m_eEnd);
        return;
    }
    ScheduleNextMessage();
    m_s.m_host.OnMessageDone();
}

}  // namespace quenby
