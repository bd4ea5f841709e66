#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenby {

// What the shell knows about the desktop session the program runs in.
struct DesktopSession {
    bool m_bWayland = false;
    // The desktop's names as XDG_CURRENT_DESKTOP gives them, separated by colons ("ubuntu:GNOME").
    std::string m_strDesktop;
    // A service registers the shortcut field's combination with the system; without one (Wayland
    // without the GlobalShortcuts portal) the user binds `quenby --toggle` in the desktop instead.
    bool m_bGlobalShortcuts = true;
    // The desktop tells Quenby which window has the keyboard focus, so a run can stop when it
    // moves and never types into Quenby's own windows.
    bool m_bFocusKnown = true;
};

// The desktops whose ways of binding a key to a command differ.
enum class EDesktopFamily { Gnome, Kde, Wlroots, Other };

EDesktopFamily DesktopFamilyOf(std::string_view currentDesktop);

// A notice shown once, remembered under its identifier.
struct OnceNotice {
    std::u16string_view m_text;
    std::string_view m_identifier;
};

// At the first start under Wayland on a kind of desktop: how start/stop is bound there. None
// outside Wayland, and none where the shortcut field's combination is registered with the system.
std::optional<OnceNotice> FirstStartNotice(const DesktopSession& session);

// The line by the shortcut field: how start/stop is bound when the field's combination is not
// registered with the system; empty when it is.
std::u16string_view ShortcutHint(const DesktopSession& session);

}  // namespace quenby
