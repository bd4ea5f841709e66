#include "qt/ThreadedTypist.h"

#include <QMetaObject>

#include "input/TypingJob.h"

namespace quenby {

CThreadedTypist::~CThreadedTypist() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CThreadedTypist::TypeMessage(TypingJob job, std::function<void(Status)> done) {
    // The run asks for the next message only after the last one reported back.
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_worker = std::thread([this, job = std::move(job), done = std::move(done)] {
        Status result = RunTypingJob(m_services, job);
        // Queued to the UI thread; dropped if the window is gone by then.
        QMetaObject::invokeMethod(
            m_uiContext, [done, result] { done(result); }, Qt::QueuedConnection);
    });
}

}  // namespace quenby
