#pragma once

#include <windows.h>

#include <functional>

#include "platform/GlobalShortcut.h"
#include "win32/MessageWindow.h"

namespace quenby {

// The shortcut through RegisterHotKey (id 1) on a message-only window of the UI thread, so
// WM_HOTKEY arrives there through that thread's message loop. The profile's virtual key and
// MOD_* flags are what RegisterHotKey takes, unchanged.
class CHotKeyShortcut final : public IGlobalShortcut {
public:
    static constexpr int kHotKeyId = 1;

    // Must be made on the UI thread: `onPressed` runs there, from its message loop.
    explicit CHotKeyShortcut(std::function<void()> onPressed);
    ~CHotKeyShortcut() override;

    bool RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) override;
    void UnregisterHotKey() override;

    // Why the last registration was refused (ERROR_HOTKEY_ALREADY_REGISTERED when taken).
    DWORD LastError() const { return m_dwLastError; }

private:
    std::function<void()> m_onPressed;
    CMessageWindow m_window;
    bool m_bRegistered = false;
    DWORD m_dwLastError = 0;
};

}  // namespace quenby
