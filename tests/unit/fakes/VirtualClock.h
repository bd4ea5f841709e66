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
    // A pause in virtual time. What another thread does meanwhile (m_during) happens at its
    // time, and wakes the sleeper as a real stop or focus change would.
    bool Sleep(std::uint32_t milliseconds, const std::function<bool()>& stop) override {
        m_sleeps.push_back(milliseconds);
        const std::uint64_t end = m_now + milliseconds;
        while (!m_during.empty() && m_during.begin()->first <= end) {
            auto happening = m_during.extract(m_during.begin());
            m_now = std::max(m_now, happening.key());
            happening.mapped()();
            if (stop()) {
                return false;
            }
        }
        m_now = end;
        return !stop();
    }
    void Wake() override {}

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
    // Things other threads do at a virtual time, while the typing thread sleeps.
    std::multimap<std::uint64_t, std::function<void()>> m_during;

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
