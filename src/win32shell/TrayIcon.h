#pragma once

#include <windows.h>

#include <string>

namespace quenby {

// The window's icon in the notification area, with the application title as its tip. Its
// notifications come to the window as kTrayMessage, above the dialog manager's WM_USER range
// (WM_USER + 1 is DM_SETDEFID) and the window's own WM_APP requests.
class CTrayIcon {
public:
    static constexpr UINT kTrayMessage = WM_APP + 16;
    static constexpr UINT kIconId = 90;

    CTrayIcon() = default;
    ~CTrayIcon() { Remove(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon for the window; false when the notification area refused it.
    bool Add(HWND window, HICON icon);
    // Removes the icon, when there is one.
    void Remove();
    // The taskbar was made again (Explorer restarted): the icon is added again.
    void Recreate();
    // Shows another image (the running icon while a run is active).
    void SetIcon(HICON icon);
    bool IsShown() const { return m_bAdded; }
    // Shows the text in a balloon by the icon, with the application title, without taking the
    // keyboard focus; false when there is no icon to show it by.
    bool ShowBalloon(const std::wstring& text);

private:
    HWND m_window = nullptr;
    HICON m_icon = nullptr;
    bool m_bAdded = false;
};

}  // namespace quenby
