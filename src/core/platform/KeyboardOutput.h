#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/Outcome.h"

namespace quenby {

// A key as the platform identifies it (an X keycode, a Windows scan code).
using KeyCode = std::uint32_t;

// Modifiers a layout may need to produce a character, as bits.
enum EKeyModifier : std::uint8_t {
    KEY_MODIFIER_SHIFT = 0x01,
    KEY_MODIFIER_CONTROL = 0x02,
    KEY_MODIFIER_ALT = 0x04,
    KEY_MODIFIER_LEVEL3 = 0x08,  // AltGr
    KEY_MODIFIER_LEVEL5 = 0x10,
};

// The key and modifiers that produce a character in a layout.
struct KeyForCharacter {
    KeyCode m_key = 0;
    std::uint8_t m_modifiers = 0;  // EKeyModifier bits
};

// The keyboard layout active when it was loaded.
class IKeyboardLayout {
public:
    virtual ~IKeyboardLayout() = default;
    // The key and modifiers that produce the code unit, or nothing when no key does.
    virtual std::optional<KeyForCharacter> FindKey(char16_t unit) = 0;
    // The key to hold for one modifier bit.
    virtual KeyCode ModifierKey(EKeyModifier modifier) = 0;
};

// Injects keyboard events into the focused application for one message. Used from one thread at
// a time (the typing thread); each instance may hold its own connection to the display.
class IKeyboardOutput {
public:
    virtual ~IKeyboardOutput() = default;
    // Called before a text is sent as Unicode character events, with all of it, so the backend can
    // prepare keys for characters its layout lacks; EndUnicodeText undoes that preparation.
    virtual void BeginUnicodeText(std::u16string_view text) = 0;
    virtual void EndUnicodeText() = 0;
    // Presses or releases a key.
    virtual void SendKey(KeyCode key, bool down) = 0;
    // Sends one UTF-16 code unit as a character event, independent of the layout.
    virtual void SendUnicodeUnit(char16_t unit, bool down) = 0;
    // One press and release of Enter.
    virtual void PressEnter() = 0;
    // The error sound for a character that cannot be typed.
    virtual void Beep() = 0;
    // The layout active now, or nothing when it cannot be had.
    virtual std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() = 0;
    // Ok while keys reach the system; once they no longer can (the display went away, the
    // desktop closed the session, the system refused the keys), why, in words for the user.
    // Asked after every character. Ok by default: for backends whose sends cannot fail.
    virtual Status SendStatus() { return Status::Ok(); }
    // Asked while the output holds a key back until the application can take it: true ends the
    // wait at once (the run was stopped), and that key is not sent. For backends that wait.
    virtual void SetInterrupt(std::function<bool()> /*interrupted*/) {}
};

}  // namespace quenby
