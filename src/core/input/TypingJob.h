#pragma once

#include <atomic>

#include "input/AppHelper.h"
#include "platform/MessageTypist.h"
#include "platform/Timers.h"

namespace quenby {

// Types one job through a CAppHelper built for it; callable on any thread. `stopNow`, once set,
// ends it before its next key event.
TypingResult RunTypingJob(const KeystrokeServices& services, const TypingJob& job,
                          const std::atomic<bool>* stopNow = nullptr);

// Types each message on the calling thread before returning (tests, and shells that type in
// the UI thread). A stop at once can come only from within the message (a key event's handler).
class CSynchronousTypist final : public IMessageTypist {
public:
    explicit CSynchronousTypist(const KeystrokeServices& services) : m_services(services) {}
    void TypeMessage(TypingJob job, std::function<void(TypingResult)> done) override {
        m_bStopNow = false;
        done(RunTypingJob(m_services, job, &m_bStopNow));
    }
    void StopNow() override {
        m_bStopNow = true;
        m_services.m_sleeper.Wake();
    }

private:
    KeystrokeServices m_services;
    std::atomic<bool> m_bStopNow{false};
};

}  // namespace quenby
