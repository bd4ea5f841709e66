#pragma once

#include <windows.h>

#include <functional>

namespace quenby {

// A message-only window of the thread that creates it (the UI thread): where WM_HOTKEY, WM_TIMER
// and messages posted from other threads arrive, and so how they reach that thread.
class CMessageWindow {
public:
    // Gets every message first; returns true when it handled it.
    using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam)>;

    explicit CMessageWindow(Handler handler);
    ~CMessageWindow();
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;

    // Null when the window could not be created.
    HWND Handle() const { return m_hwnd; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    Handler m_handler;
    HWND m_hwnd = nullptr;
};

}  // namespace quenby
