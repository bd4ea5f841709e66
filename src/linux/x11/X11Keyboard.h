#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "input/SurrogateJoiner.h"
#include "linux/x11/SpareKeyCache.h"
#include "linux/x11/X11Layout.h"
#include "linux/x11/XcbConnection.h"
#include "platform/Keyboard.h"

namespace quenby {

// Key events through XTest on one connection of its own, for one message.
//
// Unicode texts: characters the layout has are typed with their keys; the others go through a
// cache of lent keys (CSpareKeyCache), two characters on each, the second typed with Shift; the
// keys get their own symbols back at the end of the text, so the keymap is left as it was found.
// Caps Lock is released for the text and locked again after it: Unicode characters arrive as they
// are, whatever the lock state.
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
    Status SendStatus() override;

    // How long typing waits for the user to let go of keys before it goes on anyway.
    static constexpr std::chrono::milliseconds kLongestKeyWait{3000};
    // How old an answer about the keys held may be to go on typing without asking again.
    static constexpr std::chrono::milliseconds kFreshKeysAnswer{2};
    // How long a character made with dead keys waits for the application to handle the keys
    // before it (where the application's window answers pings).
    static constexpr std::chrono::milliseconds kLongestComposeWait{5000};

private:
    void TypeCodePoint(char32_t codePoint, bool down);
    // Locks or unlocks Caps Lock through XKB.
    void SetCapsLock(bool locked);
    // Waits (a while at most) until no key is held that this output did not press. The user's
    // Ctrl or Alt, still down from the shortcut, would turn letters into commands, and while the
    // shortcut's own key is down its grab takes every key away from the focused window.
    void WaitForForeignKeys();
    // Asks the server which keys are down, for the next character.
    void AskForKeys();
    // Whether a key is down in `state` that this output did not press.
    bool ForeignKeyHeld(const xcb_query_keymap_reply_t& state) const;

    std::unique_ptr<CXcbConnection> m_connection;
    CClientProgress m_progress;  // how far the focused application has read
    bool m_bPressedSinceRead = false;
    std::unique_ptr<CX11Layout> m_unicodeLayout;           // for the text being typed by Unicode
    std::vector<char32_t> m_codePoints;                    // that text
    std::size_t m_iNextCodePoint = 0;                      // the next of them to be typed
    std::unique_ptr<CSpareKeyCache> m_spareKeys;           // for the text being typed by Unicode
    std::unordered_map<char32_t, KeyForCharacter> m_down;  // characters whose key is down
    CSurrogateJoiner m_surrogates;
    std::set<KeyCode> m_pressed;
    std::shared_ptr<const std::vector<PressSequence>> m_sequences;  // of the last layout loaded
    xkb_keycode_t m_returnKey = 0;
    bool m_bRelockCaps = false;     // Caps Lock was unlocked for a Unicode text
    bool m_bGaveUpWaiting = false;  // a key stayed down too long: no more waiting this message
    // The keys held, asked before the last character and answered while it was typed.
    std::optional<xcb_query_keymap_cookie_t> m_keysAsked;
    std::chrono::steady_clock::time_point m_keysAskedAt;
};

// Opens a connection to the X server for each message.
class CX11Keyboard final : public IKeyboard {
public:
    Expected<std::unique_ptr<IKeyboardOutput>> OpenOutput() override;
};

}  // namespace quenby
