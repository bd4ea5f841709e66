#include "linux/x11/XcbConnection.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>
#include <cstring>

#include "engine/WideText.h"

namespace quenby {

Expected<std::unique_ptr<CXcbConnection>> CXcbConnection::Open() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        return Status::Fail(
            u"No X display is set (DISPLAY is empty). Quenby types through X11; under Wayland it "
            u"needs XWayland.");
    }
    std::unique_ptr<CXcbConnection> connection(new CXcbConnection);
    int screenNumber = 0;
    connection->m_conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection->m_conn) != 0) {
        return Status::Fail(u"Cannot connect to the X display \"" + Utf16FromUtf8(display) +
                            u"\".");
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection->m_conn));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return Status::Fail(u"The X display has no screen.");
    }
    connection->m_root = screens.data->root;
    if (xkb_x11_setup_xkb_extension(
            connection->m_conn, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
        return Status::Fail(u"The X server does not offer the keyboard extension (XKB).");
    }
    connection->m_deviceId = xkb_x11_get_core_keyboard_device_id(connection->m_conn);
    connection->m_context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (connection->m_deviceId < 0 || connection->m_context == nullptr) {
        return Status::Fail(u"The X server's keyboard cannot be read.");
    }
    return connection;
}

CXcbConnection::~CXcbConnection() {
    if (m_context != nullptr) {
        xkb_context_unref(m_context);
    }
    if (m_conn != nullptr) {
        xcb_disconnect(m_conn);
    }
}

void CXcbConnection::Sync() {
    // A request with a reply: when it comes back, everything before it has been handled.
    free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
}

xcb_atom_t CXcbConnection::Atom(const char* name) const {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        m_conn, xcb_intern_atom(m_conn, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

Expected<std::unique_ptr<CXkbSnapshot>> CXkbSnapshot::Take(const CXcbConnection& connection) {
    std::unique_ptr<CXkbSnapshot> snapshot(new CXkbSnapshot);
    snapshot->m_keymap =
        xkb_x11_keymap_new_from_device(connection.XkbContext(), connection.Get(),
                                       connection.KeyboardDeviceId(), XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (snapshot->m_keymap == nullptr) {
        return Status::Fail(u"The X server's keymap cannot be read.");
    }
    snapshot->m_state = xkb_x11_state_new_from_device(snapshot->m_keymap, connection.Get(),
                                                      connection.KeyboardDeviceId());
    if (snapshot->m_state == nullptr) {
        return Status::Fail(u"The X server's keyboard state cannot be read.");
    }
    return snapshot;
}

CXkbSnapshot::~CXkbSnapshot() {
    if (m_state != nullptr) {
        xkb_state_unref(m_state);
    }
    if (m_keymap != nullptr) {
        xkb_keymap_unref(m_keymap);
    }
}

}  // namespace quenby
