#include "linux/wayland/WaylandSession.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace quenby {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

void OnSyncDone(void* data, wl_callback* /*callback*/, std::uint32_t /*serial*/) {
    *static_cast<bool*>(data) = true;
}
const wl_callback_listener kSyncListener{OnSyncDone};

// The keyboard's other events do not matter here: this client never has the focus.
void OnEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void OnLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void OnKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void OnModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

}  // namespace

Expected<std::unique_ptr<CWaylandSession>> CWaylandSession::Open() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    std::unique_ptr<CWaylandSession> session(new CWaylandSession);
    session->m_display = wl_display_connect(nullptr);
    if (session->m_display == nullptr) {
        std::u16string shown;
        for (const char* c = name != nullptr ? name : "wayland-0"; *c != '\0'; ++c) {
            shown.push_back(static_cast<unsigned char>(*c));
        }
        return Status::Fail(u"Cannot connect to the Wayland display \"" + shown + u"\".");
    }
    static const wl_registry_listener registryListener{OnGlobal, OnGlobalRemove};
    session->m_registry = wl_display_get_registry(session->m_display);
    wl_registry_add_listener(session->m_registry, &registryListener, session.get());
    // Globals in the first round trip; the seat's capabilities in the second.
    if (!session->RoundTrip() || !session->RoundTrip()) {
        return Status::Fail(u"The Wayland compositor does not answer.");
    }
    // wlroots treats asking a seat without a keyboard for one as a protocol error.
    if (session->m_seat != nullptr && session->m_bSeatHasKeyboard) {
        static const wl_keyboard_listener keyboardListener{OnKeymap, OnEnter,     OnLeave,
                                                           OnKey,    OnModifiers, OnRepeatInfo};
        session->m_keyboard = wl_seat_get_keyboard(session->m_seat);
        wl_keyboard_add_listener(session->m_keyboard, &keyboardListener, session.get());
        if (!session->RoundTrip()) {
            return Status::Fail(u"The Wayland compositor does not answer.");
        }
    }
    return session;
}

CWaylandSession::~CWaylandSession() {
    if (m_keyboard != nullptr) {
        if (wl_keyboard_get_version(m_keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
            wl_keyboard_release(m_keyboard);
        } else {
            wl_keyboard_destroy(m_keyboard);
        }
    }
    if (m_manager != nullptr) {
        zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    }
    if (m_seat != nullptr) {
        wl_seat_destroy(m_seat);
    }
    if (m_registry != nullptr) {
        wl_registry_destroy(m_registry);
    }
    if (m_display != nullptr) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

bool CWaylandSession::Alive() const {
    return wl_display_get_error(m_display) == 0;
}

bool CWaylandSession::Flush(Clock::time_point deadline) {
    // A busy compositor may leave our socket full for a moment: wait for room, not forever.
    while (wl_display_flush(m_display) < 0) {
        if (errno != EAGAIN) {
            return false;
        }
        pollfd fd{wl_display_get_fd(m_display), POLLOUT, 0};
        if (::poll(&fd, 1, MillisecondsLeft(deadline)) <= 0) {
            return false;
        }
    }
    return true;
}

bool CWaylandSession::DispatchUntil(Clock::time_point deadline) {
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) {
            return false;
        }
    }
    if (!Flush(deadline)) {
        wl_display_cancel_read(m_display);
        return false;
    }
    pollfd fd{wl_display_get_fd(m_display), POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&fd, 1, MillisecondsLeft(deadline));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        wl_display_cancel_read(m_display);
        return false;
    }
    if (wl_display_read_events(m_display) < 0) {
        return false;
    }
    return wl_display_dispatch_pending(m_display) >= 0;
}

bool CWaylandSession::RoundTrip(std::chrono::milliseconds timeout) {
    if (!Alive()) {
        return false;
    }
    const auto deadline = Clock::now() + timeout;
    bool done = false;
    wl_callback* callback = wl_display_sync(m_display);
    wl_callback_add_listener(callback, &kSyncListener, &done);
    while (!done && DispatchUntil(deadline)) {
    }
    wl_callback_destroy(callback);
    return done;
}

bool CWaylandSession::WaitForSeatKeyboard(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!m_bSeatHasKeyboard && DispatchUntil(deadline)) {
    }
    return m_bSeatHasKeyboard;
}

void CWaylandSession::OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                               const char* interface, std::uint32_t version) {
    auto* self = static_cast<CWaylandSession*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->m_seat == nullptr) {
        static const wl_seat_listener seatListener{OnCapabilities, OnSeatName};
        // Version 3 for wl_keyboard.release; nothing later is used.
        self->m_seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, version < 3 ? version : 3));
        wl_seat_add_listener(self->m_seat, &seatListener, self);
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 &&
               self->m_manager == nullptr) {
        self->m_manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}

void CWaylandSession::OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}

void CWaylandSession::OnCapabilities(void* data, wl_seat*, std::uint32_t capabilities) {
    auto* self = static_cast<CWaylandSession*>(data);
    self->m_bSeatHasKeyboard =
        self->m_bSeatHasKeyboard || (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
}

void CWaylandSession::OnSeatName(void*, wl_seat*, const char*) {}

void CWaylandSession::OnKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
                               std::uint32_t size) {
    auto* self = static_cast<CWaylandSession*>(data);
    // Only the first keymap is the seat's as it was found; later ones may be our own keyboard's.
    if (!self->m_bKeymapSeen && format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 1) {
        void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            self->m_strSeatKeymap.assign(static_cast<const char*>(text),
                                         ::strnlen(static_cast<const char*>(text), size));
            ::munmap(text, size);
        }
    }
    self->m_bKeymapSeen = true;
    ::close(fd);
}

}  // namespace quenby
