#include "input/KeyGate.h"

namespace quenby {

ETypingEnd CKeyGate::Open() {
    if (m_focus != nullptr) {
        m_target = m_focus->GetFocusedWindow();
    }
    return Check();
}

ETypingEnd CKeyGate::Check() const {
    if (m_stopNow.load()) {
        return ETypingEnd::Stopped;
    }
    const std::optional<FocusedWindow> now =
        m_focus != nullptr ? m_focus->GetFocusedWindow() : std::nullopt;
    if (!now) {
        return ETypingEnd::Completed;
    }
    // Whatever the setting: keys sent to Quenby's own window would work its buttons.
    if (now->m_bOwnWindow) {
        return ETypingEnd::OwnWindow;
    }
    if (m_bStopOnFocusChange && m_target && now->m_id != m_target->m_id) {
        return ETypingEnd::FocusMoved;
    }
    return ETypingEnd::Completed;
}

}  // namespace quenby
