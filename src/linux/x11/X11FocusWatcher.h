#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "linux/FocusRecord.h"
#include "linux/x11/XcbConnection.h"
#include "platform/FocusWatcher.h"

namespace quenby {

// The X11 keyboard focus, followed by events on a connection and a thread of its own: focus
// changes of the focused window and of its top-level window, their destruction, and the window
// manager's _NET_ACTIVE_WINDOW on the root. At each of them the focus is asked once; in between,
// GetFocusedWindow answers from memory. A window is told by its top-level window (the child of
// the root that holds it: the manager's frame, or the window itself without a manager), and is
// Quenby's own when a window on the way up carries this process's _NET_WM_PID.
class CX11FocusWatcher final : public IFocusWatcher {
public:
    static Expected<std::unique_ptr<CX11FocusWatcher>> Open();
    ~CX11FocusWatcher() override;

    std::optional<FocusedWindow> GetFocusedWindow() override;
    void SetFocusChangeHandler(std::function<void()> onChange) override;

private:
    explicit CX11FocusWatcher(std::unique_ptr<CXcbConnection> connection);
    void Watch();
    // Asks where the focus is now, follows it with events, and tells the handler of a change.
    void Refresh();
    // Selects the events of the focus window and its top level, and drops those of the last ones.
    void Follow(xcb_window_t focus, const FocusedWindow& now);
    FocusedWindow AskFocus(xcb_window_t server, xcb_window_t& focus);
    // The focus as the server holds it (PointerRoot not resolved).
    xcb_window_t ServerFocus();
    bool IsOwnWindow(xcb_window_t window);
    xcb_window_t Parent(xcb_window_t window);

    std::unique_ptr<CXcbConnection> m_connection;
    xcb_atom_t m_activeWindow = XCB_ATOM_NONE;
    xcb_atom_t m_pid = XCB_ATOM_NONE;
    xcb_window_t m_focusFollowed = XCB_WINDOW_NONE;
    xcb_window_t m_topFollowed = XCB_WINDOW_NONE;
    CFocusRecord m_record;
    int m_wakeFds[2] = {-1, -1};
    std::thread m_watcher;
};

}  // namespace quenby
