#pragma once

#include <functional>

#include "platform/StopKey.h"
#include "win32/HotKeyShortcut.h"

namespace quenby {

// Esc as a hot key of its own (RegisterHotKey on a message-only window of the UI thread), taken
// for a run's length only: the rest of the time Esc belongs to the applications.
class CEscapeStopKey final : public IStopKey {
public:
    // Must be made on the UI thread: `onPressed` runs there.
    explicit CEscapeStopKey(std::function<void()> onPressed) : m_hotKey(std::move(onPressed)) {}

    bool Take() override { return m_hotKey.RegisterHotKey(VK_ESCAPE, 0); }
    void Release() override { m_hotKey.UnregisterHotKey(); }

private:
    CHotKeyShortcut m_hotKey;
};

}  // namespace quenby
