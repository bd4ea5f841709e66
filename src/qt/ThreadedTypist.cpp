#include "qt/ThreadedTypist.h"

#include <QMetaObject>

#include "input/TypingJob.h"

namespace quenby {

CThreadedTypist::~CThreadedTypist() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CThreadedTypist::StopNow() {
    m_bStopNow.store(true);
    m_services.m_sleeper.Wake();
}

void CThreadedTypist::TypeMessage(TypingJob job, std::function<void(TypingResult)> done) {
    // The run asks for the next message only after the last one reported back.
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_bStopNow.store(false);
    m_worker = std::thread([this, job = std::move(job), done = std::move(done)] {
        TypingResult result = RunTypingJob(m_services, job, &m_bStopNow);
        // Queued to the UI thread; dropped if the window is gone by then.
        QMetaObject::invokeMethod(
            m_uiContext, [done, result] { done(result); }, Qt::QueuedConnection);
    });
}

}  // namespace quenby
