#include "qt/QtOwnFocus.h"

#include <QGuiApplication>
#include <QWindow>

namespace quenby {

CQtOwnFocus::CQtOwnFocus(IFocusWatcher* others) : m_others(others) {
    m_bOwn = QGuiApplication::focusWindow() != nullptr;
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &m_context,
                     [this](QWindow* window) {
                         m_bOwn = window != nullptr;
                         const std::lock_guard<std::mutex> lock(m_handlerMutex);
                         if (m_onChange) {
                             m_onChange();
                         }
                     });
}

std::optional<FocusedWindow> CQtOwnFocus::GetFocusedWindow() {
    FocusedWindow focused;
    if (m_others != nullptr) {
        focused = m_others->GetFocusedWindow().value_or(FocusedWindow{});
    }
    focused.m_bOwnWindow = focused.m_bOwnWindow || m_bOwn.load();
    return focused;
}

void CQtOwnFocus::SetFocusChangeHandler(std::function<void()> onChange) {
    if (m_others != nullptr) {
        m_others->SetFocusChangeHandler(onChange);
    }
    const std::lock_guard<std::mutex> lock(m_handlerMutex);
    m_onChange = std::move(onChange);
}

}  // namespace quenby
