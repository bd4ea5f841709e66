#pragma once

#include "input/AppHelper.h"
#include "platform/MessageTypist.h"

namespace quenby {

// Types one job through a CAppHelper built for it; callable on any thread.
Status RunTypingJob(const KeystrokeServices& services, const TypingJob& job);

// Types each message on the calling thread before returning (tests, and shells that type in
// the UI thread).
class CSynchronousTypist final : public IMessageTypist {
public:
    explicit CSynchronousTypist(const KeystrokeServices& services) : m_services(services) {}
    void TypeMessage(TypingJob job, std::function<void(Status)> done) override {
        done(RunTypingJob(m_services, job));
    }

private:
    KeystrokeServices m_services;
};

}  // namespace quenby
