#include "linux/portal/ShortcutTrigger.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <utility>

#include "engine/HotKeyProfile.h"
#include "linux/x11/VirtualKeys.h"

namespace quenby {

std::optional<std::string> XdgShortcutTrigger(std::uint16_t virtualKey, std::uint16_t modifiers) {
    const std::optional<std::uint32_t> keysym = KeysymForVirtualKey(virtualKey);
    if (!keysym) {
        return std::nullopt;
    }
    char name[64] = {};
    if (xkb_keysym_get_name(*keysym, name, sizeof name) <= 0) {
        return std::nullopt;
    }
    // In the order desktops show them, so the user recognises the combination in the dialog.
    constexpr std::array<std::pair<std::uint16_t, const char*>, 4> kModifiers{{
        {SYSTEM_FLAG_CONTROL, "CTRL"},
        {SYSTEM_FLAG_ALT, "ALT"},
        {SYSTEM_FLAG_SHIFT, "SHIFT"},
        {SYSTEM_FLAG_WIN, "LOGO"},
    }};
    std::string trigger;
    for (const auto& [flag, text] : kModifiers) {
        if ((modifiers & flag) != 0) {
            trigger += text;
            trigger += '+';
        }
    }
    return trigger + name;
}

}  // namespace quenby
