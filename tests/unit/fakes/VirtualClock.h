#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Timers.h"

namespace quenby::test {

// Virtual time shared by the fake timers and the fake sleeper, so a whole typing run is played in
// microseconds and its timeline can be checked exactly.
class CVirtualClock final : public ITimers, public ISleeper {
public:
    std::uint64_t Now() const { return m_now; }

    bool SetTimer(int id, std::uint32_t milliseconds) override {
        m_armLog.push_back({id, milliseconds});
        if (m_bRefuseTimers) {
            return false;
        }
        m_armed[id] = m_now + milliseconds;
        return true;
    }
    void KillTimer(int id) override { m_armed.erase(id); }
    void Sleep(std::uint32_t milliseconds) override {
        m_sleeps.push_back(milliseconds);
        m_now += milliseconds;
    }

    bool IsArmed(int id) const { return m_armed.count(id) != 0; }
    // Lets time pass, firing every timer that falls due on the way, in order of its due time.
    void AdvanceBy(std::uint64_t milliseconds, const std::function<void(int)>& fire) {
        const std::uint64_t target = m_now + milliseconds;
        FireDue(target, fire);
        m_now = target;
    }
    // Fires timers until none is armed or `limit` have fired; returns how many fired.
    int RunUntilIdle(const std::function<void(int)>& fire, int limit = 100000) {
        int fired = 0;
        while (!m_armed.empty() && fired < limit) {
            FireNext(fire);
            ++fired;
        }
        return fired;
    }

    struct Arm {
        int m_id;
        std::uint32_t m_milliseconds;
    };
    std::vector<Arm> m_armLog;
    std::vector<std::uint32_t> m_sleeps;
    bool m_bRefuseTimers = false;

private:
    void FireNext(const std::function<void(int)>& fire) {
        auto next = m_armed.begin();
        for (auto it = m_armed.begin(); it != m_armed.end(); ++it) {
            if (it->second < next->second) {
                next = it;
            }
        }
        const int id = next->first;
        if (next->second > m_now) {
            m_now = next->second;
        }
        m_armed.erase(next);
        fire(id);
    }
    void FireDue(std::uint64_t target, const std::function<void(int)>& fire) {
        for (;;) {
            bool due = false;
            for (const auto& [id, at] : m_armed) {
                due = due || at <= target;
            }
            if (!due) {
                return;
            }
            FireNext(fire);
        }
    }

    std::uint64_t m_now = 0;
    std::map<int, std::uint64_t> m_armed;
};

}  // namespace quenby::test
