#include "qt/QtTimers.h"

#include <climits>

namespace quenby {

bool CQtTimers::SetTimer(int id, std::uint32_t milliseconds) {
    std::unique_ptr<QTimer>& timer = m_timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        // A precise timer: a message's delay is the user's, not the system's idea of it.
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer.get(), &QTimer::timeout, [this, id] { m_onTimer(id); });
    }
    // Qt counts in int milliseconds: longer delays (over 24 days) are held at the most it can.
    timer->start(milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds));
    return true;
}

void CQtTimers::KillTimer(int id) {
    if (auto it = m_timers.find(id); it != m_timers.end()) {
        it->second->stop();
    }
}

}  // namespace quenby
