#pragma once

#include <cstdint>

namespace quenby {

// Names the physical key pressed in the shortcut capture field. A shortcut is one key on the
// keyboard whatever the layout types on it, so the field asks the platform, by the key's own
// number, for the virtual-key code that key has under the layout in use now.
class IShortcutKeys {
public:
    virtual ~IShortcutKeys() = default;
    // The Windows virtual-key code of the key with this native key code (an X keycode) under the
    // active layout; 0 when that key cannot be a shortcut key.
    virtual std::uint16_t VirtualKeyOfNativeKey(std::uint32_t nativeKey) = 0;
};

}  // namespace quenby
