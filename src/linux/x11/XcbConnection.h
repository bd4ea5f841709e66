#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/Outcome.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace quenby {

// An answer from the server, freed as libxcb asks (with free()).
struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, XcbFree>;

// One connection to the X server, with the XKB extension set up. Each thread that talks to the
// server (a typing job, the shortcut watcher) opens its own.
class CXcbConnection {
public:
    // Connects to $DISPLAY; fails with a reason the user can read (no display, a Wayland session
    // without XWayland, no XKB).
    static Expected<std::unique_ptr<CXcbConnection>> Open();
    ~CXcbConnection();
    CXcbConnection(const CXcbConnection&) = delete;
    CXcbConnection& operator=(const CXcbConnection&) = delete;

    xcb_connection_t* Get() const { return m_conn; }
    xcb_window_t Root() const { return m_root; }
    std::int32_t KeyboardDeviceId() const { return m_deviceId; }
    xkb_context* XkbContext() const { return m_context; }
    // False once the server has gone away or closed the connection.
    bool Alive() const { return xcb_connection_has_error(m_conn) == 0; }
    // Waits until the server has handled every request sent so far.
    void Sync();
    // The atom named `name`, made if the server has none yet; XCB_ATOM_NONE when it cannot tell.
    xcb_atom_t Atom(const char* name) const;

private:
    CXcbConnection() = default;

    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_root = 0;
    std::int32_t m_deviceId = -1;
    xkb_context* m_context = nullptr;
};

// The server's keymap and keyboard state as they are now, for looking keys up.
class CXkbSnapshot {
public:
    static Expected<std::unique_ptr<CXkbSnapshot>> Take(const CXcbConnection& connection);
    ~CXkbSnapshot();
    CXkbSnapshot(const CXkbSnapshot&) = delete;
    CXkbSnapshot& operator=(const CXkbSnapshot&) = delete;

    xkb_keymap* Keymap() const { return m_keymap; }
    xkb_state* State() const { return m_state; }

private:
    CXkbSnapshot() = default;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
};

}  // namespace quenby
