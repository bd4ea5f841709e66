#include "win32/HotKeyShortcut.h"

namespace quenby {

CHotKeyShortcut::CHotKeyShortcut(std::function<void()> onPressed)
    : m_onPressed(std::move(onPressed)), m_window([this](UINT message, WPARAM wParam, LPARAM) {
          if (message != WM_HOTKEY || wParam != kHotKeyId) {
              return false;
          }
          if (m_onPressed) {
              m_onPressed();
          }
          return true;
      }) {}

CHotKeyShortcut::~CHotKeyShortcut() {
    UnregisterHotKey();
}

bool CHotKeyShortcut::RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) {
    UnregisterHotKey();
    if (m_window.Handle() == nullptr) {
        m_dwLastError = ERROR_INVALID_WINDOW_HANDLE;
        return false;
    }
    if (!::RegisterHotKey(m_window.Handle(), kHotKeyId, modifiers, virtualKey)) {
        m_dwLastError = ::GetLastError();
        return false;
    }
    m_dwLastError = 0;
    m_bRegistered = true;
    return true;
}

void CHotKeyShortcut::UnregisterHotKey() {
    if (m_bRegistered) {
        ::UnregisterHotKey(m_window.Handle(), kHotKeyId);
        m_bRegistered = false;
    }
}

}  // namespace quenby
