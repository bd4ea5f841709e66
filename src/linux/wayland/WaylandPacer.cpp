#include "linux/wayland/WaylandPacer.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "linux/wayland/WaylandSession.h"

namespace quenby {
namespace {

using Clock = std::chrono::steady_clock;

// The longest a wait goes without asking whether it was interrupted: a stop ends it at once.
constexpr std::chrono::milliseconds kSlice{20};

}  // namespace

CWaylandPacer::CWaylandPacer(CWaylandSession& session, const WaylandPacing& pacing,
                             ITextIntake* intake)
    : m_session(session), m_pacing(pacing) {
    if (intake != nullptr && intake->Begin()) {
        m_intake = intake;
    }
}

CWaylandPacer::~CWaylandPacer() {
    if (m_intake != nullptr) {
        m_intake->End();
    }
}

bool CWaylandPacer::BeforePress(bool character) {
    if (!m_failure.ok()) {
        return false;
    }
    if (m_intake != nullptr) {
        m_uSent += character ? 1 : 0;
        if (!KeepBacklogSmall()) {
            m_uSent -= character ? 1 : 0;
            return false;
        }
    }
    KeepBurstPace();
    return true;
}

void CWaylandPacer::KeepBurstPace() {
    if (m_iBurstKeys > 0 && m_iBurstKeys < std::max(m_pacing.m_iKeysPerBurst, 1)) {
        ++m_iBurstKeys;
        return;
    }
    m_session.RoundTrip();
    // Where the application tells what it has read, that alone sets the pace.
    const auto due = m_burstStart + (m_intake != nullptr ? std::chrono::microseconds(0)
                                                         : m_pacing.m_keyInterval * m_iBurstKeys);
    const auto now = Clock::now();
    if (now < due) {
        std::this_thread::sleep_for(due - now);
    }
    m_burstStart = Clock::now();
    m_iBurstKeys = 1;
}

bool CWaylandPacer::KeepBacklogSmall() {
    const auto bound = static_cast<std::uint64_t>(std::max(m_pacing.m_iBacklog, 1));
    Clock::time_point progress = Clock::now();  // when the application last showed it reads
    std::optional<Clock::time_point> asked;
    for (;;) {
        const bool over = m_uSent - m_uRead > bound;
        const TextIntakeState now =
            m_intake->Wait(m_seen, over ? kSlice : std::chrono::milliseconds(0));
        if (now.m_bGone) {
            m_failure = Status::Fail(
                u"The application receiving the text went away (it was closed, or its text field "
                u"was).");
            return false;
        }
        if (now.m_uTaken != m_seen.m_uTaken) {
            m_uRead = std::max(m_uRead, now.m_uTaken);
            progress = Clock::now();
        }
        // It answers, and its field has been quiet: whatever it has not shown as text, it has
        // read (a key that makes no text there, or text it did not announce).
        if (asked && now.m_uAnswers != m_seen.m_uAnswers) {
            m_uRead = m_uSent;
            progress = Clock::now();
            asked.reset();
        }
        m_seen = now;
        m_uRead = std::min(m_uRead, m_uSent);
        if (m_uSent - m_uRead <= bound) {
            return true;
        }
        if (m_interrupted && m_interrupted()) {
            return false;
        }
        const Clock::time_point t = Clock::now();
        if (t - progress >= m_pacing.m_stalled) {
            m_failure = Status::Fail(
                u"The application receiving the text stopped taking it in (it may have frozen), "
                u"so no more keys were sent to it: they would only pile up there, and could get "
                u"it closed with its unsaved work.");
            return false;
        }
        if (t - progress >= m_pacing.m_quiet && (!asked || t - *asked >= m_pacing.m_quiet)) {
            m_intake->Ask();
            asked = t;
        }
    }
}

}  // namespace quenby
