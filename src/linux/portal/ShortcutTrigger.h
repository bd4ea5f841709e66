#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quenby {

// A combination in the profile's form (a Windows virtual-key code and MOD_* flags) written as a
// trigger in the XDG shortcuts format, for instance "CTRL+SHIFT+F5": the modifiers CTRL, ALT,
// SHIFT and LOGO, then the key's keysym name. Nothing for a key that has no keysym.
std::optional<std::string> XdgShortcutTrigger(std::uint16_t virtualKey, std::uint16_t modifiers);

}  // namespace quenby
