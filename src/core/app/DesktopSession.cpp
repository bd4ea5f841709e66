#include "app/DesktopSession.h"

#include <algorithm>
#include <cctype>

#include "app/Texts.h"

namespace quenby {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

EDesktopFamily DesktopFamilyOf(std::string_view currentDesktop) {
    // The list names the desktop and what it derives from ("ubuntu:GNOME", "Budgie:GNOME"); the
    // first name that is one of ours decides.
    while (!currentDesktop.empty()) {
        const std::size_t colon = currentDesktop.find(':');
        const std::string_view name = currentDesktop.substr(0, colon);
        if (SameName(name, "GNOME")) {
            return EDesktopFamily::Gnome;
        }
        if (SameName(name, "KDE")) {
            return EDesktopFamily::Kde;
        }
        if (SameName(name, "sway") || SameName(name, "Hyprland")) {
            return EDesktopFamily::Wlroots;
        }
        currentDesktop =
            colon == std::string_view::npos ? std::string_view() : currentDesktop.substr(colon + 1);
    }
    return EDesktopFamily::Other;
}

std::optional<OnceNotice> FirstStartNotice(const DesktopSession& session) {
    if (!session.m_bWayland || session.m_bGlobalShortcuts) {
        return std::nullopt;
    }
    switch (DesktopFamilyOf(session.m_strDesktop)) {
        case EDesktopFamily::Gnome:
            return OnceNotice{text::kBindToggleGnome, "{quenby-wayland-binding-gnome}"};
        case EDesktopFamily::Kde:
            return OnceNotice{text::kBindToggleKde, "{quenby-wayland-binding-kde}"};
        case EDesktopFamily::Wlroots:
            return OnceNotice{text::kBindToggleWlroots, "{quenby-wayland-binding-wlroots}"};
        case EDesktopFamily::Other:
            break;
    }
    return OnceNotice{text::kBindToggleOther, "{quenby-wayland-binding-other}"};
}

std::u16string_view ShortcutHint(const DesktopSession& session) {
    if (session.m_bGlobalShortcuts) {
        return {};
    }
    return session.m_bWayland ? text::kBindToggleHintWayland : text::kBindToggleHint;
}

}  // namespace quenby
