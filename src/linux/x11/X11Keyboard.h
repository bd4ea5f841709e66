#pragma once

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "linux/x11/X11Layout.h"
#include "linux/x11/XcbConnection.h"
#include "platform/Keyboard.h"

namespace quenby {

// Key events through XTest on one connection of its own, for one message.
//
// Unicode texts: characters the layout has are typed with their keys; the others are bound to
// spare keycodes (keycodes without symbols) for the whole text in one go, two equal symbols per
// key so that an upper-case letter stays upper-case. Caps Lock is released for the text and locked
// again after it: Unicode characters arrive as they are, whatever the lock state. Clients read a
// changed keymap lazily, so the binding is given time to settle before the first key and after the
// last one before the keymap is put back; rebinding per character would let clients read the keymap
// after the key was unbound.
class CX11KeyboardOutput final : public IKeyboardOutput {
public:
    explicit CX11KeyboardOutput(std::unique_ptr<CXcbConnection> connection);
    ~CX11KeyboardOutput() override;

    void BeginUnicodeText(std::u16string_view text) override;
    void EndUnicodeText() override;
    void SendKey(KeyCode key, bool down) override;
    void SendUnicodeUnit(char16_t unit, bool down) override;
    void PressEnter() override;
    void Beep() override;
    std::unique_ptr<IKeyboardLayout> LoadCurrentLayout() override;

    // How long clients are given to take in a changed keymap.
    static constexpr std::chrono::milliseconds kSettleTime{60};
    // How long a slow client may take per key event; events sent faster than this pile up in its
    // queue, and it must have worked through them before the keymap changes again.
    static constexpr std::chrono::microseconds kClientTimePerEvent{100};
    static constexpr std::chrono::milliseconds kLongestBacklogWait{5000};
    // How long typing waits for the user to let go of keys before it goes on anyway.
    static constexpr std::chrono::milliseconds kLongestKeyWait{3000};

private:
    void TypeCodePoint(char32_t codePoint, bool down);
    // Binds the characters missing from the layout, from `from` on in the text, to spare keys.
    void BindMissing(std::size_t from);
    void Unbind();
    void WriteMapping(const std::vector<std::pair<xkb_keycode_t, std::uint32_t>>& keys);
    // Locks or unlocks Caps Lock through XKB.
    void SetCapsLock(bool locked);
    // Waits (a while at most) until no key is held that this output did not press. The user's
    // Ctrl or Alt, still down from the shortcut, would turn letters into commands, and while the
    // shortcut's own key is down its grab takes every key away from the focused window.
    void WaitForForeignKeys();

    std::unique_ptr<CXcbConnection> m_connection;
    std::unique_ptr<CX11Layout> m_unicodeLayout;  // for the text being typed by Unicode
    std::vector<char32_t> m_codePoints;           // that text
    std::size_t m_iNextCodePoint = 0;             // the next of them to be typed
    std::vector<xkb_keycode_t> m_spareKeys;
    std::unordered_map<char32_t, xkb_keycode_t> m_bound;
    std::unordered_map<char32_t, KeyForCharacter> m_down;  // characters whose key is down
    char16_t m_highSurrogate = 0;
    std::set<KeyCode> m_pressed;
    xkb_keycode_t m_returnKey = 0;
    bool m_bRelockCaps = false;     // Caps Lock was unlocked for a Unicode text
    bool m_bGaveUpWaiting = false;  // a key stayed down too long: no more waiting this message
    std::chrono::steady_clock::time_point m_bindTime;
    std::size_t m_iEventsSinceBind = 0;
};

// Opens a connection to the X server for each message.
class CX11Keyboard final : public IKeyboard {
public:
    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override;
};

}  // namespace quenby
