#include "linux/x11/X11Pointer.h"

#include <cstdlib>

namespace quenby {

std::optional<ScreenPoint> CX11Pointer::GetCursorPos() {
    if (!m_connection || !m_connection->Alive()) {
        Expected<std::unique_ptr<CXcbConnection>> connection = CXcbConnection::Open();
        if (!connection.ok()) {
            m_connection.reset();
            return std::nullopt;
        }
        m_connection = std::move(connection).value();
    }
    xcb_connection_t* conn = m_connection->Get();
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(conn, xcb_query_pointer(conn, m_connection->Root()), nullptr);
    if (reply == nullptr) {
        return std::nullopt;
    }
    const ScreenPoint point{reply->root_x, reply->root_y};
    std::free(reply);
    return point;
}

}  // namespace quenby
