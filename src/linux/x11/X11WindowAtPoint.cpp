#include "linux/x11/X11WindowAtPoint.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace quenby {
namespace {

xcb_atom_t Atom(xcb_connection_t* conn, const char* name) {
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        conn, xcb_intern_atom(conn, 1, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::optional<std::uint32_t> CardinalProperty(xcb_connection_t* conn, xcb_window_t window,
                                              xcb_atom_t property) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, window, property, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) < 4) {
        return std::nullopt;
    }
    return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

bool HasProperty(xcb_connection_t* conn, xcb_window_t window, xcb_atom_t property) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        conn, xcb_get_property(conn, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
        nullptr));
    return reply && reply->type != XCB_ATOM_NONE;
}

// The process of a top-level window: its own _NET_WM_PID, or that of the client window a window
// manager put inside it (the one with WM_STATE).
std::optional<int> ProcessOfWindow(xcb_connection_t* conn, xcb_window_t window, xcb_atom_t pidAtom,
                                   xcb_atom_t stateAtom, int depth) {
    if (const auto pid = CardinalProperty(conn, window, pidAtom)) {
        return static_cast<int>(*pid);
    }
    if (depth == 0) {
        return std::nullopt;
    }
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(conn, xcb_query_tree(conn, window), nullptr));
    if (!tree) {
        return std::nullopt;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        if (HasProperty(conn, children[i], stateAtom) || depth > 1) {
            if (auto pid = ProcessOfWindow(conn, children[i], pidAtom, stateAtom, depth - 1)) {
                return pid;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> ProcessAtPoint(CXcbConnection& connection, ScreenPoint point) {
    xcb_connection_t* conn = connection.Get();
    const xcb_atom_t pidAtom = Atom(conn, "_NET_WM_PID");
    const xcb_atom_t stateAtom = Atom(conn, "WM_STATE");
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(conn, xcb_query_tree(conn, connection.Root()), nullptr));
    if (!tree) {
        return std::nullopt;
    }
    // Children come bottom to top: the last one that is shown and holds the point is on top.
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            conn, xcb_get_window_attributes(conn, children[i]), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
            continue;
        }
        Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(conn, xcb_get_geometry(conn, children[i]), nullptr));
        if (!geometry) {
            continue;
        }
        const int left = geometry->x;
        const int top = geometry->y;
        const int right = left + geometry->width + 2 * geometry->border_width;
        const int bottom = top + geometry->height + 2 * geometry->border_width;
        if (point.m_x < left || point.m_x >= right || point.m_y < top || point.m_y >= bottom) {
            continue;
        }
        // The topmost window at the point decides, whether or not its process can be known.
        return ProcessOfWindow(conn, children[i], pidAtom, stateAtom, 2);
    }
    return std::nullopt;
}

}  // namespace quenby
