#pragma once

#include <QObject>
#include <atomic>
#include <thread>

#include "input/AppHelper.h"
#include "platform/MessageTypist.h"

namespace quenby {

// Types each message on a thread of its own, so the window stays responsive during the pauses,
// and reports back on the UI thread through the Qt event loop. Threads are crossed here only.
class CThreadedTypist final : public IMessageTypist {
public:
    CThreadedTypist(const KeystrokeServices& services, QObject* uiContext)
        : m_services(services), m_uiContext(uiContext) {}
    // Waits for a message still being typed: its thread uses the services.
    ~CThreadedTypist() override;

    void TypeMessage(TypingJob job, std::function<void(TypingResult)> done) override;
    void StopNow() override;

private:
    KeystrokeServices m_services;
    QObject* m_uiContext;
    std::thread m_worker;
    std::atomic<bool> m_bStopNow{false};
};

}  // namespace quenby
