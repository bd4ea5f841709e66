#pragma once

#include <atomic>
#include <thread>

#include "input/AppHelper.h"
#include "platform/MessageTypist.h"
#include "win32/MessageWindow.h"
#include "win32/SendInputKeyboard.h"

namespace quenby {

// Types each message on a thread of its own, so the window stays responsive during the pauses,
// and reports back on the UI thread by a message posted to a window of that thread. Threads are
// crossed here only. The typing thread joins COM's multithreaded apartment for set-text.
class CWin32Typist final : public IMessageTypist {
public:
    // Must be made on the UI thread. `keyboard` is the services' keyboard, asked after each
    // message whether Windows refused its keys.
    CWin32Typist(const KeystrokeServices& services, const CSendInputKeyboard& keyboard);
    // Waits for a message still being typed (its thread uses the services); a report not yet
    // delivered is dropped.
    ~CWin32Typist() override;

    void TypeMessage(TypingJob job, std::function<void(TypingResult)> done) override;
    void StopNow() override;

private:
    void DropPendingReports();

    KeystrokeServices m_services;
    const CSendInputKeyboard& m_keyboard;
    CMessageWindow m_window;
    std::thread m_worker;
    std::atomic<bool> m_bStopNow{false};
};

}  // namespace quenby
