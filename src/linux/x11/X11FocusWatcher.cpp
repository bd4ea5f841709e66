#include "linux/x11/X11FocusWatcher.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quenby {
namespace {

constexpr std::uint32_t kFollowedEvents =
    XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

}  // namespace

Expected<std::unique_ptr<CX11FocusWatcher>> CX11FocusWatcher::Open() {
    Expected<std::unique_ptr<CXcbConnection>> connection = CXcbConnection::Open();
    if (!connection.ok()) {
        return connection.status();
    }
    return std::unique_ptr<CX11FocusWatcher>(new CX11FocusWatcher(std::move(connection).value()));
}

CX11FocusWatcher::CX11FocusWatcher(std::unique_ptr<CXcbConnection> connection)
    : m_connection(std::move(connection)) {
    xcb_connection_t* conn = m_connection->Get();
    m_activeWindow = m_connection->Atom("_NET_ACTIVE_WINDOW");
    m_pid = m_connection->Atom("_NET_WM_PID");
    const std::uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_FOCUS_CHANGE;
    xcb_change_window_attributes(conn, m_connection->Root(), XCB_CW_EVENT_MASK, &rootEvents);
    // Known before the first message asks.
    Refresh();
    if (::pipe2(m_wakeFds, O_CLOEXEC) == 0) {
        m_watcher = std::thread([this] { Watch(); });
    }
}

CX11FocusWatcher::~CX11FocusWatcher() {
    if (m_watcher.joinable()) {
        const char stop = 's';
        (void)::write(m_wakeFds[1], &stop, 1);
        m_watcher.join();
    }
    for (int fd : m_wakeFds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::optional<FocusedWindow> CX11FocusWatcher::GetFocusedWindow() {
    return m_record.Get();
}

void CX11FocusWatcher::SetFocusChangeHandler(std::function<void()> onChange) {
    m_record.SetHandler(std::move(onChange));
}

xcb_window_t CX11FocusWatcher::Parent(xcb_window_t window) {
    xcb_connection_t* conn = m_connection->Get();
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(conn, xcb_query_tree(conn, window), nullptr));
    return tree ? tree->parent : xcb_window_t{XCB_WINDOW_NONE};
}

bool CX11FocusWatcher::IsOwnWindow(xcb_window_t window) {
    xcb_connection_t* conn = m_connection->Get();
    Reply<xcb_get_property_reply_t> pid(xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, window, m_pid, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    return pid && xcb_get_property_value_length(pid.get()) == 4 &&
           *static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get())) ==
               static_cast<std::uint32_t>(::getpid());
}

xcb_window_t CX11FocusWatcher::ServerFocus() {
    xcb_connection_t* conn = m_connection->Get();
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    return reply ? reply->focus : xcb_window_t{XCB_WINDOW_NONE};
}

FocusedWindow CX11FocusWatcher::AskFocus(xcb_window_t server, xcb_window_t& focus) {
    xcb_connection_t* conn = m_connection->Get();
    const xcb_window_t root = m_connection->Root();
    focus = server;
    if (focus == XCB_INPUT_FOCUS_POINTER_ROOT) {
        // Keys go to the window under the pointer.
        Reply<xcb_query_pointer_reply_t> pointer(
            xcb_query_pointer_reply(conn, xcb_query_pointer(conn, root), nullptr));
        focus = pointer ? pointer->child : xcb_window_t{XCB_WINDOW_NONE};
    }
    FocusedWindow focused;
    if (focus == XCB_WINDOW_NONE || focus == root) {
        return focused;
    }
    // Up to the child of the root, looking for our process's mark on the way.
    for (xcb_window_t window = focus; window != XCB_WINDOW_NONE && window != root;) {
        focused.m_bOwnWindow = focused.m_bOwnWindow || IsOwnWindow(window);
        focused.m_id = window;
        window = Parent(window);
    }
    return focused;
}

void CX11FocusWatcher::Refresh() {
    xcb_window_t server = ServerFocus();
    xcb_window_t focus = XCB_WINDOW_NONE;
    FocusedWindow now;
    // A focus that moves on between the question and the selection of the new windows' events
    // sends us no event at all: ask again once they are selected, until the answer holds.
    for (int attempt = 0; attempt < 8; ++attempt) {
        now = AskFocus(server, focus);
        Follow(focus, now);
        const xcb_window_t again = ServerFocus();
        if (again == server) {
            break;
        }
        server = again;
    }
    m_record.Set(now);
}

void CX11FocusWatcher::Follow(xcb_window_t focus, const FocusedWindow& now) {
    const xcb_window_t previousFocus = m_focusFollowed;
    const xcb_window_t previousTop = m_topFollowed;
    m_focusFollowed = focus;
    m_topFollowed = static_cast<xcb_window_t>(now.m_id);
    // Events of the windows left behind are no longer needed (a window that went away is fine).
    const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
    for (xcb_window_t old : {previousFocus, previousTop}) {
        if (old != XCB_WINDOW_NONE && old != m_focusFollowed && old != m_topFollowed &&
            old != m_connection->Root()) {
            xcb_change_window_attributes(m_connection->Get(), old, XCB_CW_EVENT_MASK, &none);
        }
    }
    for (xcb_window_t window : {m_focusFollowed, m_topFollowed}) {
        if (window != XCB_WINDOW_NONE && window != m_connection->Root()) {
            xcb_change_window_attributes(m_connection->Get(), window, XCB_CW_EVENT_MASK,
                                         &kFollowedEvents);
        }
    }
    xcb_flush(m_connection->Get());
}

void CX11FocusWatcher::Watch() {
    pollfd fds[2] = {{xcb_get_file_descriptor(m_connection->Get()), POLLIN, 0},
                     {m_wakeFds[0], POLLIN, 0}};
    for (;;) {
        bool refresh = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection->Get())) {
            switch (event->response_type & 0x7F) {
                case XCB_FOCUS_IN:
                case XCB_FOCUS_OUT:
                case XCB_DESTROY_NOTIFY:
                case XCB_UNMAP_NOTIFY:
                    refresh = true;
                    break;
                case XCB_PROPERTY_NOTIFY:
                    refresh =
                        refresh || reinterpret_cast<xcb_property_notify_event_t*>(event)->atom ==
                                       m_activeWindow;
                    break;
                default:
                    break;  // moves and resizes of the followed windows; errors for gone ones
            }
            std::free(event);
        }
        if (refresh) {
            Refresh();
            continue;  // the questions may have brought more events along
        }
        if (!m_connection->Alive()) {
            return;
        }
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
    }
}

}  // namespace quenby
