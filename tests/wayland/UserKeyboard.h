#pragma once

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "linux/wayland/WaylandSession.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace quenby::test {

// The keymap a keyboard with this XKB layout sends, as text.
inline std::string KeymapText(const char* layout) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* raw = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const std::string text = raw;
    std::free(raw);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return text;
}

// A keyboard the user might have: a second virtual keyboard with a named XKB layout, which has
// pressed one key so that it is the seat's keyboard.
class CUserKeyboard {
public:
    explicit CUserKeyboard(const char* layout) {
        Expected<std::unique_ptr<CWaylandSession>> session = CWaylandSession::Open();
        if (!session.ok() || session.value()->VirtualKeyboardManager() == nullptr) {
            return;
        }
        m_session = std::move(session).value();
        const std::string text = KeymapText(layout);
        const std::size_t size = text.size() + 1;
        const int fd = ::memfd_create("user-keymap", MFD_CLOEXEC);
        const bool written = ::write(fd, text.c_str(), size) == static_cast<ssize_t>(size);
        m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
            m_session->VirtualKeyboardManager(), m_session->Seat());
        zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       static_cast<std::uint32_t>(size));
        ::close(fd);
        // Left Shift (evdev 42), as a user's key press makes a keyboard the seat's.
        zwp_virtual_keyboard_v1_key(m_keyboard, 0, 42, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(m_keyboard, 1, 42, WL_KEYBOARD_KEY_STATE_RELEASED);
        m_bReady = written && m_session->RoundTrip();
    }
    ~CUserKeyboard() {
        if (m_keyboard != nullptr) {
            zwp_virtual_keyboard_v1_destroy(m_keyboard);
            m_session->RoundTrip();
        }
    }
    bool Ready() const { return m_bReady; }

    // Presses Ctrl+Shift with a key (by its evdev code) and lets go, as a user's fingers do. A
    // virtual keyboard's modifiers are what it says they are, so they are said as well.
    bool PressWithControlShift(std::uint32_t key) {
        constexpr std::uint32_t kControl = 29;
        constexpr std::uint32_t kShift = 42;
        constexpr std::uint32_t kShiftMask = 1;
        constexpr std::uint32_t kControlMask = 4;
        std::uint32_t time = 10;
        zwp_virtual_keyboard_v1_key(m_keyboard, time++, kControl, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(m_keyboard, time++, kShift, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, kControlMask | kShiftMask, 0, 0, 0);
        zwp_virtual_keyboard_v1_key(m_keyboard, time++, key, WL_KEYBOARD_KEY_STATE_PRESSED);
        zwp_virtual_keyboard_v1_key(m_keyboard, time++, key, WL_KEYBOARD_KEY_STATE_RELEASED);
        zwp_virtual_keyboard_v1_key(m_keyboard, time++, kShift, WL_KEYBOARD_KEY_STATE_RELEASED);
        zwp_virtual_keyboard_v1_key(m_keyboard, time++, kControl, WL_KEYBOARD_KEY_STATE_RELEASED);
        zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
        return m_session->RoundTrip();
    }

private:
    std::unique_ptr<CWaylandSession> m_session;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    bool m_bReady = false;
};

}  // namespace quenby::test
