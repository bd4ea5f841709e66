#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/GlobalShortcut.h"

namespace quenby {

// The start/stop combination as a GNOME custom shortcut, for GNOME under Wayland without the
// GlobalShortcuts portal: an entry of GNOME's own keyboard settings (GSettings, media keys) named
// "Quenby: start/stop typing" that runs `quenby --toggle`, which GNOME's settings daemon binds as
// soon as it is written. The entry lives at a path of Quenby's own, so the user's other custom
// shortcuts are never touched. Registering writes or updates it; unregistering (Clear, a new
// combination, the window closing) removes it, so it is there while Quenby runs and a removed
// program leaves none behind. Registering fails where GNOME's settings schema is not installed.
class CGnomeCustomShortcut final : public IGlobalShortcut {
public:
    bool RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) override;
    void UnregisterHotKey() override;

    // The entry's name, command and GSettings path.
    static constexpr const char* kName = "Quenby: start/stop typing";
    static constexpr const char* kCommand = "quenby --toggle";
    static constexpr const char* kPath =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/quenby/";
};

// Whether GNOME's custom shortcut settings are installed here.
bool GnomeCustomShortcutsAvailable();

// A combination in the profile's form as GNOME writes bindings, for instance "<Control><Shift>F9";
// nothing for a key without a name.
std::optional<std::string> GnomeBinding(std::uint16_t virtualKey, std::uint16_t modifiers);

}  // namespace quenby
