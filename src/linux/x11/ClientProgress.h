#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>

#include "linux/x11/XcbConnection.h"

namespace quenby {

// Sees when the application with the keyboard focus has read every event sent to it so far.
//
// A window that lists _NET_WM_PING among its WM_PROTOCOLS answers a ping sent to it when its
// client reads it, and a client reads its events in order: the answer comes once every key queued
// before the ping has been handled. Chromium, GTK and Qt windows answer; plain Xlib windows and
// xterm do not, and for them the caller has to estimate.
class CClientProgress {
public:
    explicit CClientProgress(CXcbConnection& connection);
    CClientProgress(const CClientProgress&) = delete;
    CClientProgress& operator=(const CClientProgress&) = delete;

    // Waits until the focused application has read every event sent before this call. False when
    // that cannot be seen: its window does not answer pings, or no answer came within
    // `longestWait` (a hung application, or one that ignores pings it claims to answer); a
    // window that did not answer in time is not asked again.
    bool WaitUntilRead(std::chrono::milliseconds longestWait);

private:
    // The focused top-level window if it answers pings, else none.
    xcb_window_t FindAnsweringWindow();
    bool Answers(xcb_window_t window);

    CXcbConnection& m_connection;
    xcb_atom_t m_protocols = XCB_NONE;
    xcb_atom_t m_ping = XCB_NONE;
    bool m_bListening = false;         // for answers, which are sent to the root window
    xcb_window_t m_silent = XCB_NONE;  // a window that once did not answer
    std::uint32_t m_iSerial = 0;
};

}  // namespace quenby
