#include "linux/x11/X11GlobalShortcut.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <cstdlib>

#include "linux/x11/VirtualKeys.h"
#include "linux/x11/X11ShortcutKeys.h"
#include "linux/x11/XcbXkb.h"

namespace quenby {
namespace {

// The bits that never take part in the match: Caps Lock and Num Lock are grabbed both ways.
constexpr std::uint16_t kLockBits = XCB_MOD_MASK_LOCK;

}  // namespace

Expected<std::unique_ptr<CX11GlobalShortcut>> CX11GlobalShortcut::Open(
    std::function<void()> onPressed) {
    Expected<std::unique_ptr<CXcbConnection>> connection = CXcbConnection::Open();
    if (!connection.ok()) {
        return connection.status();
    }
    return std::unique_ptr<CX11GlobalShortcut>(
        new CX11GlobalShortcut(std::move(connection).value(), std::move(onPressed)));
}

CX11GlobalShortcut::CX11GlobalShortcut(std::unique_ptr<CXcbConnection> connection,
                                       std::function<void()> onPressed)
    : m_connection(std::move(connection)),
      m_keyMap(std::make_unique<CShortcutKeyMap>(m_connection->XkbContext())),
      m_onPressed(std::move(onPressed)) {
    // Auto-repeat then sends presses without releases between them, so a held key is seen as one.
    std::free(xcb_xkb_per_client_flags_reply(
        m_connection->Get(),
        xcb_xkb_per_client_flags(
            m_connection->Get(),
            static_cast<xcb_xkb_device_spec_t>(m_connection->KeyboardDeviceId()),
            XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
            XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
        nullptr));
    if (::pipe2(m_wakeFds, O_CLOEXEC) == 0) {
        m_watcher = std::thread([this] { Watch(); });
    }
}

void CX11GlobalShortcut::Wake(bool stop) {
    const char byte = stop ? 's' : 'w';
    if (m_wakeFds[1] >= 0) {
        (void)::write(m_wakeFds[1], &byte, 1);
    }
}

CX11GlobalShortcut::~CX11GlobalShortcut() {
    UnregisterHotKey();
    if (m_watcher.joinable()) {
        Wake(true);
        m_watcher.join();
    }
    for (int fd : m_wakeFds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::uint16_t CX11GlobalShortcut::NumLockMask(xcb_keycode_t numLockKey) {
    xcb_connection_t* conn = m_connection->Get();
    auto* reply = xcb_get_modifier_mapping_reply(conn, xcb_get_modifier_mapping(conn), nullptr);
    std::uint16_t mask = XCB_MOD_MASK_2;  // where Num Lock sits on nearly every keymap
    if (reply != nullptr) {
        const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(reply);
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < reply->keycodes_per_modifier; ++i) {
                if (numLockKey != 0 &&
                    keys[modifier * reply->keycodes_per_modifier + i] == numLockKey) {
                    mask = static_cast<std::uint16_t>(1u << modifier);
                }
            }
        }
        std::free(reply);
    }
    return mask;
}

bool CX11GlobalShortcut::RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) {
    UnregisterHotKey();
    if (!m_connection->Alive()) {
        return false;
    }
    Expected<std::unique_ptr<CXkbSnapshot>> snapshot = CXkbSnapshot::Take(*m_connection);
    if (!snapshot.ok()) {
        return false;
    }
    // The physical key, found in the active group first: a passive grab matches the keycode in
    // whichever group is active when it is pressed.
    const xkb_keycode_t found =
        m_keyMap->KeycodeForVirtualKey(snapshot.value()->State(), virtualKey);
    if (found == 0) {
        return false;
    }
    const auto key = static_cast<xcb_keycode_t>(found);
    const std::uint16_t numLock = NumLockMask(
        static_cast<xcb_keycode_t>(KeycodeForKeysym(snapshot.value()->Keymap(), XKB_KEY_Num_Lock)));
    const std::uint16_t mask = ModifierMaskForFlags(modifiers);

    std::lock_guard<std::mutex> lock(m_mutex);
    xcb_connection_t* conn = m_connection->Get();
    for (std::uint16_t extra :
         {std::uint16_t{0}, kLockBits, numLock, static_cast<std::uint16_t>(kLockBits | numLock)}) {
        const std::uint16_t grabMask = static_cast<std::uint16_t>(mask | extra);
        xcb_generic_error_t* error = xcb_request_check(
            conn, xcb_grab_key_checked(conn, 1, m_connection->Root(), grabMask, key,
                                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (error != nullptr) {
            // Another program holds the combination (BadAccess): give back what was taken.
            std::free(error);
            for (const Grab& grab : m_grabs) {
                xcb_ungrab_key(conn, grab.m_key, m_connection->Root(), grab.m_modifiers);
            }
            m_grabs.clear();
            xcb_flush(conn);
            Wake();
            return false;
        }
        m_grabs.push_back({key, grabMask});
    }
    m_key = key;
    m_bHeld = false;
    Wake();
    return true;
}

void CX11GlobalShortcut::UnregisterHotKey() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Grab& grab : m_grabs) {
        xcb_ungrab_key(m_connection->Get(), grab.m_key, m_connection->Root(), grab.m_modifiers);
    }
    m_grabs.clear();
    m_key = 0;
    m_connection->Sync();
    Wake();
}

void CX11GlobalShortcut::Watch() {
    pollfd fds[2] = {{xcb_get_file_descriptor(m_connection->Get()), POLLIN, 0},
                     {m_wakeFds[0], POLLIN, 0}};
    for (;;) {
        // Events may already wait in xcb's queue, read along with a reply on another thread.
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection->Get())) {
            const std::uint8_t type = event->response_type & 0x7F;
            bool fire = false;
            if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
                auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
                std::lock_guard<std::mutex> lock(m_mutex);
                if (key->detail == m_key && m_key != 0) {
                    if (type == XCB_KEY_RELEASE) {
                        m_bHeld = false;
                    } else if (!m_bHeld) {
                        m_bHeld = true;
                        fire = true;
                    }
                }
            }
            std::free(event);
            if (fire) {
                m_onPressed();
            }
        }
        if (!m_connection->Alive()) {
            return;  // the server went away: no presses will come
        }
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            char byte = 0;
            if (::read(m_wakeFds[0], &byte, 1) == 1 && byte == 's') {
                return;
            }
        }
    }
}

}  // namespace quenby
