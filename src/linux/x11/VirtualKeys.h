#pragma once

#include <cstdint>
#include <optional>

namespace quenby {

// The profile keeps a shortcut as a Windows virtual-key code with MOD_* flags, so that a profile
// means the same on every platform. These translate between that form and X keysyms and masks.

// The X keysym of a virtual key a shortcut can use (letters, digits, F1-F24, navigation and
// editing keys, the numeric keypad, punctuation); nothing for any other.
std::optional<std::uint32_t> KeysymForVirtualKey(std::uint16_t virtualKey);
// The virtual key of an X keysym, for capturing a shortcut; nothing when it has none.
std::optional<std::uint16_t> VirtualKeyForKeysym(std::uint32_t keysym);
// Whether a virtual key names a key that prints (a letter, a digit, punctuation): such a key is
// found by its place on the keyboard, the others by the keysym they carry everywhere.
bool IsPrintingVirtualKey(std::uint16_t virtualKey);
// X modifier mask (Shift, Control, Mod1 = Alt, Mod4 = Super) of MOD_* flags.
std::uint16_t ModifierMaskForFlags(std::uint16_t modFlags);

}  // namespace quenby
