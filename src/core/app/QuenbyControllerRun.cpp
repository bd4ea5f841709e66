// The main window's typing run: the shortcut, Esc and Stop Now, the timers, and what the run
// reports back. The rest of the controller is in QuenbyController.cpp.
#include "app/QuenbyController.h"
#include "app/Texts.h"
#include "platform/StopKey.h"
#include "platform/Timers.h"

namespace quenby {

void CQuenbyController::OnHotKey() {
    if (m_run.IsTypingMessage()) {
        ++m_iPendingToggles;  // takes effect once the message is out, as if queued behind it
        return;
    }
    UpdateData();
    m_run.ToggleTypingRun();
}

bool CQuenbyController::OnStopNow() {
    // Presses of the shortcut queued behind the message would start a new run after it.
    m_iPendingToggles = 0;
    return m_run.StopNow();
}

void CQuenbyController::OnTimer(int id) {
    switch (id) {
        case TIMER_NEXT_MESSAGE:
            m_run.OnNextMessageTimer();
            break;
        case TIMER_SCREENSHOT_KEYS:
            m_s.m_timers.KillTimer(TIMER_SCREENSHOT_KEYS);
            m_s.m_view.CopyWindowImageToClipboard();
            m_s.m_timers.SetTimer(TIMER_SCREENSHOT_NOTICE, 200);
            break;
        case TIMER_OPEN_REQUEST:
            OnOpenRequestTimer();
            break;
        case TIMER_SCREENSHOT_NOTICE:
            m_s.m_timers.KillTimer(TIMER_SCREENSHOT_NOTICE);
            m_s.m_view.ShowMessage(text::kScreenshotSent, EMessageIcon::Information,
                                   EMessageButtons::Ok);
            break;
        default:
            break;
    }
}

void CQuenbyController::OnCountChanged() {
    if (!m_bInitialized) {
        return;
    }
    UpdateData();
    m_settings.SetCount(m_run.m_iCount);
}

void CQuenbyController::UpdateRunIcons() {
    const bool running = m_s.m_runActive.load();
    m_s.m_view.SetRunIcon(running);
    // Esc is taken for exactly as long as the run: every change of the run comes through here.
    if (m_s.m_stopKey == nullptr || running == m_bStopKeyAsked) {
        return;
    }
    if (!running) {
        m_s.m_stopKey->Release();
        m_bStopKeyAsked = false;
    } else if (m_s.m_stopKey->Take()) {
        m_bStopKeyAsked = true;
    } else {
        // The run goes on: the shortcut and Stop Now still stop it.
        m_bStopKeyAsked = true;  // once a run, not at every message
        m_s.m_view.ShowRunNotice(text::kStopKeyTaken);
    }
}

void CQuenbyController::OnMessageDone() {
    if (m_bClosePending) {
        m_bClosePending = false;
        m_iPendingToggles = 0;
        m_run.StopTypingRun();
        OnClose();
        return;
    }
    while (m_iPendingToggles > 0 && !m_run.IsTypingMessage()) {
        --m_iPendingToggles;
        OnHotKey();
    }
}

void CQuenbyController::OnTypingFailed(const Status& why) {
    m_iPendingToggles = 0;
    ShowError(text::kTypingFailed, why.reason(), {});
    if (m_bClosePending) {
        m_bClosePending = false;
        OnClose();
    }
}

void CQuenbyController::OnTypingInterrupted(ETypingEnd why) {
    m_iPendingToggles = 0;
    m_s.m_view.ShowRunNotice(why == ETypingEnd::OwnWindow ? text::kFocusInQuenby
                                                          : text::kFocusMoved);
    if (m_bClosePending) {
        m_bClosePending = false;
        OnClose();
    }
}

void CQuenbyController::OnScreenshotToClipboard() {
    m_s.m_timers.SetTimer(TIMER_SCREENSHOT_KEYS, 300);
}

}  // namespace quenby
