#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "linux/x11/XcbConnection.h"
#include "platform/GlobalShortcut.h"

namespace quenby {

class CShortcutKeyMap;

// One key combination grabbed on the root window, with the Num Lock and Caps Lock variants so it
// works whatever their state. Presses are watched on a connection and a thread of their own;
// a key held down fires once, not at every auto-repeat.
class CX11GlobalShortcut final : public IGlobalShortcut {
public:
    // `onPressed` runs on the watcher thread: the caller hands it on to the UI thread.
    static Expected<std::unique_ptr<CX11GlobalShortcut>> Open(std::function<void()> onPressed);
    ~CX11GlobalShortcut() override;

    bool RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) override;
    void UnregisterHotKey() override;

private:
    CX11GlobalShortcut(std::unique_ptr<CXcbConnection> connection, std::function<void()> onPressed);
    void Watch();
    std::uint16_t NumLockMask(xcb_keycode_t numLockKey);
    // Makes the watcher look at xcb's event queue: a reply read on this thread may have brought
    // events along into it. `stop` ends the watcher.
    void Wake(bool stop = false);

    struct Grab {
        xcb_keycode_t m_key;
        std::uint16_t m_modifiers;
    };

    std::unique_ptr<CXcbConnection> m_connection;
    std::unique_ptr<CShortcutKeyMap> m_keyMap;  // which key a virtual key is
    std::function<void()> m_onPressed;
    std::mutex m_mutex;  // guards the grabs and the state below
    std::vector<Grab> m_grabs;
    xcb_keycode_t m_key = 0;
    bool m_bHeld = false;
    int m_wakeFds[2] = {-1, -1};  // wakes the watcher
    std::thread m_watcher;
};

}  // namespace quenby
