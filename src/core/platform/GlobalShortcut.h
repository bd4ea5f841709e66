#pragma once

#include <cstdint>

namespace quenby {

// One system-wide key combination whose presses reach the main window's OnHotKey on the UI
// thread, whichever application has the focus.
class IGlobalShortcut {
public:
    virtual ~IGlobalShortcut() = default;
    // Registers the combination (a Windows virtual-key code and MOD_* flags, the profile's form);
    // false when the system refuses it, for example because another program holds it.
    virtual bool RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) = 0;
    // Releases the combination, whether or not one is registered.
    virtual void UnregisterHotKey() = 0;
};

}  // namespace quenby
