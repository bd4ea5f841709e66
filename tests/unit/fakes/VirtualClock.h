#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/Timers.h"

namespace quenby::test {

// Virtual time shared by the fake timers and the fake sleeper, so a whole typing run is played in
// microseconds and its timeline can be checked exactly.
class CVirtualClock final : public ITimers, public ISleeper {
public:
    using Fire = std::function<void(int)>;

    std::uint64_t Now() const { return m_now; }

    bool SetTimer(int id, std::uint32_t milliseconds) override {
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
    void AdvanceBy(std::uint64_t milliseconds, const Fire& fire) {
        const std::uint64_t target = m_now + milliseconds;
        while (FireNext(target, fire)) {
        }
        m_now = std::max(m_now, target);
    }
    // Fires timers until none is armed or `limit` have fired; returns how many fired.
    int RunUntilIdle(const Fire& fire, int limit = 100000) {
        int fired = 0;
        while (fired < limit && FireNext(UINT64_MAX, fire)) {
            ++fired;
        }
        return fired;
    }

    std::vector<std::uint32_t> m_sleeps;
    bool m_bRefuseTimers = false;

private:
    // Fires the earliest timer due by `until`; false when there is none.
    bool FireNext(std::uint64_t until, const Fire& fire) {
        auto next =
            std::min_element(m_armed.begin(), m_armed.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        if (next == m_armed.end() || next->second > until) {
            return false;
        }
        const int id = next->first;
        m_now = std::max(m_now, next->second);
        m_armed.erase(next);
        fire(id);
        return true;
    }

    std::uint64_t m_now = 0;
    std::map<int, std::uint64_t> m_armed;
};

}  // namespace quenby::test
