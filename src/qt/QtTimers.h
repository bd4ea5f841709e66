#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "platform/Timers.h"

namespace quenby {

// One-shot window timers on the Qt event loop; each firing is handed to `onTimer`.
class CQtTimers final : public ITimers {
public:
    explicit CQtTimers(std::function<void(int)> onTimer) : m_onTimer(std::move(onTimer)) {}

    bool SetTimer(int id, std::uint32_t milliseconds) override;
    void KillTimer(int id) override;

private:
    std::function<void(int)> m_onTimer;
    std::map<int, std::unique_ptr<QTimer>> m_timers;
};

}  // namespace quenby
