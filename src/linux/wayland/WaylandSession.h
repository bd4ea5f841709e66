#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "engine/Outcome.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_keyboard;
struct zwp_virtual_keyboard_manager_v1;

namespace quenby {

// One connection to the Wayland compositor with the globals typing needs: the first seat and the
// virtual keyboard manager. Used by one thread only. Every wait on the compositor is bounded: a
// compositor that hangs must not hang the typing thread with it.
class CWaylandSession {
public:
    // Connects to $WAYLAND_DISPLAY; fails with a reason the user can read.
    static Expected<std::unique_ptr<CWaylandSession>> Open();
    ~CWaylandSession();
    CWaylandSession(const CWaylandSession&) = delete;
    CWaylandSession& operator=(const CWaylandSession&) = delete;

    wl_display* Display() const { return m_display; }
    wl_seat* Seat() const { return m_seat; }
    // Null when the compositor does not offer virtual keyboards.
    zwp_virtual_keyboard_manager_v1* VirtualKeyboardManager() const { return m_manager; }
    // Whether the seat has had a keyboard at any time since the connection was opened.
    bool SeatHasKeyboard() const { return m_bSeatHasKeyboard; }
    // The keymap the compositor sent this client for the seat's keyboard, as XKB text; empty when
    // none came (a seat without a keyboard).
    const std::string& SeatKeymap() const { return m_strSeatKeymap; }
    // False once the compositor has gone away or closed the connection over an error.
    bool Alive() const;
    // Sends what is queued and waits until the compositor has handled it, at most `timeout`.
    bool RoundTrip(std::chrono::milliseconds timeout = kLongestWait);
    // Handles events until the seat reports a keyboard, at most `timeout`.
    bool WaitForSeatKeyboard(std::chrono::milliseconds timeout);

    // Longest wait for one answer of a compositor that is alive.
    static constexpr std::chrono::milliseconds kLongestWait{3000};

private:
    CWaylandSession() = default;
    // Reads and handles the events that arrive before `deadline`; false on error or timeout.
    bool DispatchUntil(std::chrono::steady_clock::time_point deadline);
    bool Flush(std::chrono::steady_clock::time_point deadline);

    static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t version);
    static void OnGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    static void OnCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities);
    static void OnSeatName(void* data, wl_seat* seat, const char* name);
    static void OnKeymap(void* data, wl_keyboard* keyboard, std::uint32_t format, std::int32_t fd,
                         std::uint32_t size);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    wl_keyboard* m_keyboard = nullptr;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    bool m_bSeatHasKeyboard = false;
    bool m_bKeymapSeen = false;
    std::string m_strSeatKeymap;
};

}  // namespace quenby
