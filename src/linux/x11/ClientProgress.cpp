#include "linux/x11/ClientProgress.h"

#include <poll.h>

#include <cstdlib>
#include <memory>

namespace quenby {

CClientProgress::CClientProgress(CXcbConnection& connection) : m_connection(connection) {}

bool CClientProgress::Answers(xcb_window_t window) {
    xcb_connection_t* conn = m_connection.Get();
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, window, m_protocols, XCB_ATOM_ATOM, 0, 64), nullptr));
    if (!reply || reply->format != 32) {
        return false;
    }
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    for (int i = 0; i < count; ++i) {
        if (atoms[i] == m_ping) {
            return true;
        }
    }
    return false;
}

xcb_window_t CClientProgress::FindAnsweringWindow() {
    xcb_connection_t* conn = m_connection.Get();
    const xcb_window_t root = m_connection.Root();
    const Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    if (!focus) {
        return XCB_NONE;
    }
    xcb_window_t window = focus->focus;
    if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT || window == root) {
        // Keys go to the window under the pointer: the deepest one there.
        window = root;
        for (int depth = 0; depth < 64; ++depth) {
            const Reply<xcb_query_pointer_reply_t> pointer(
                xcb_query_pointer_reply(conn, xcb_query_pointer(conn, window), nullptr));
            if (!pointer || pointer->child == XCB_NONE) {
                break;
            }
            window = pointer->child;
        }
    }
    // Up to the top-level window: focus may be on a child of it.
    for (int depth = 0; depth < 64 && window != XCB_NONE && window != root; ++depth) {
        if (Answers(window)) {
            return window;
        }
        const Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(conn, xcb_query_tree(conn, window), nullptr));
        if (!tree) {
            break;
        }
        window = tree->parent;
    }
    return XCB_NONE;
}

bool CClientProgress::WaitUntilRead(std::chrono::milliseconds longestWait) {
    xcb_connection_t* conn = m_connection.Get();
    if (m_protocols == XCB_NONE) {
        m_protocols = m_connection.Atom("WM_PROTOCOLS");
        m_ping = m_connection.Atom("_NET_WM_PING");
    }
    const xcb_window_t window = FindAnsweringWindow();
    if (window == XCB_NONE || window == m_silent) {
        return false;
    }
    if (!m_bListening) {
        // Answers go to the root window, to whoever selects substructure events there (GTK) or
        // structure events (Qt sends them with that mask, not substructure notify).
        const std::uint32_t mask =
            XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn, m_connection.Root(), XCB_CW_EVENT_MASK, &mask);
        m_bListening = true;
    }
    xcb_client_message_event_t ping{};
    ping.response_type = XCB_CLIENT_MESSAGE;
    ping.format = 32;
    ping.window = window;
    ping.type = m_protocols;
    ping.data.data32[0] = m_ping;
    ping.data.data32[1] = ++m_iSerial;  // stands where a timestamp would: answers carry it back
    ping.data.data32[2] = window;
    xcb_send_event(conn, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ping));
    xcb_flush(conn);

    const auto deadline = std::chrono::steady_clock::now() + longestWait;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(conn)) {
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
            const bool answer = (event->response_type & 0x7F) == XCB_CLIENT_MESSAGE &&
                                message->format == 32 && message->type == m_protocols &&
                                message->data.data32[0] == m_ping &&
                                message->data.data32[1] == m_iSerial;
            std::free(event);
            if (answer) {
                return true;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !m_connection.Alive()) {
            m_silent = window;
            return false;
        }
        pollfd fd{xcb_get_file_descriptor(conn), POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left.count()));
    }
}

}  // namespace quenby
