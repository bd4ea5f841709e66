#include "qt/QtOwnFocus.h"

#include <QGuiApplication>
#include <QWindow>

namespace quenby {

CQtOwnFocus::CQtOwnFocus() {
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
    return FocusedWindow{0, m_bOwn.load()};
}

void CQtOwnFocus::SetFocusChangeHandler(std::function<void()> onChange) {
    const std::lock_guard<std::mutex> lock(m_handlerMutex);
    m_onChange = std::move(onChange);
}

}  // namespace quenby
