#include "win32shell/TrayIcon.h"

#include <shellapi.h>

#include <string>

#include "app/ProfileValues.h"
#include "win32/Win32Text.h"

namespace quenby {
namespace {

NOTIFYICONDATAW Record(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = CTrayIcon::kIconId;
    return data;
}

}  // namespace

bool CTrayIcon::Add(HWND window, HICON icon) {
    m_window = window;
    m_icon = icon;
    NOTIFYICONDATAW data = Record(window);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = icon;
    const std::wstring tip = WideFromUtf16(kAppTitle);
    ::lstrcpynW(data.szTip, tip.c_str(), static_cast<int>(std::size(data.szTip)));
    m_bAdded = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    return m_bAdded;
}

void CTrayIcon::Remove() {
    if (m_window != nullptr) {
        NOTIFYICONDATAW data = Record(m_window);
        ::Shell_NotifyIconW(NIM_DELETE, &data);
    }
    m_bAdded = false;
}

void CTrayIcon::Recreate() {
    if (m_window != nullptr) {
        Remove();
        Add(m_window, m_icon);
    }
}

bool CTrayIcon::ShowBalloon(const std::wstring& text) {
    if (!m_bAdded) {
        return false;
    }
    NOTIFYICONDATAW data = Record(m_window);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_INFO;
    ::lstrcpynW(data.szInfo, text.c_str(), static_cast<int>(std::size(data.szInfo)));
    const std::wstring title = WideFromUtf16(kAppTitle);
    ::lstrcpynW(data.szInfoTitle, title.c_str(), static_cast<int>(std::size(data.szInfoTitle)));
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void CTrayIcon::SetIcon(HICON icon) {
    m_icon = icon;
    if (!m_bAdded) {
        return;
    }
    NOTIFYICONDATAW data = Record(m_window);
    data.uFlags = NIF_ICON;
    data.hIcon = icon;
    ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

}  // namespace quenby
