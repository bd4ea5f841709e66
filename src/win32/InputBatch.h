#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quenby {

// The key events of the message being typed, gathered and sent in as few SendInput calls as the
// pauses allow: a character's events always go out in one call (so no other input can come
// between a modifier and its key), and at no pause many characters share one call, up to a
// bound, so a stop still takes effect within a few milliseconds. Used on the typing thread only.
//
// SendInput's count is looked at: when Windows takes fewer events than it was given (the window
// with the focus runs at a higher integrity level, or another desktop, such as a lock screen,
// has the keyboard), the keys that went down are let go, the rest of the message is dropped, and
// the batch stays refused until the next message.
class CInputBatch {
public:
    // Sends events as SendInput does and returns how many were taken (a test gives its own).
    using SendFunction = std::function<UINT(std::span<INPUT> events)>;

    // Events of whole characters kept before they are sent at no pause: 32 characters, which the
    // core puts together in about 2 ms (it asks for the focus before each), so that the keys
    // which may reach a window that took the focus meanwhile are few, while a call still carries
    // enough of them that its own cost no longer counts.
    static constexpr std::size_t kMostEventsKept = 64;
    // How long the first key of a message waits for the user to let go of keys.
    static constexpr std::chrono::milliseconds kLongestKeyWait{3000};

    explicit CInputBatch(SendFunction send);

    // A new message: nothing pending, not refused, and its first key waits for held keys again.
    void BeginMessage();
    // Keeps one event, sending what is kept once a character is complete and the bound reached.
    void Add(const INPUT& event);
    // Sends every event kept.
    void Flush();
    // True once Windows refused events of this message.
    bool Refused() const { return m_bRefused; }

private:
    // Waits (a while at most) until no key is down on the keyboard: the user's Ctrl or Alt, still
    // down from the shortcut, would turn the letters typed into commands.
    static void WaitForHeldKeys();
    // Notes a key event that Windows took: which of our keys are down now.
    void NoteSent(const INPUT& event);
    // Lets go of every key of ours that Windows took down and no up for.
    void ReleaseHeld();

    SendFunction m_send;
    std::vector<INPUT> m_pending;
    std::vector<INPUT> m_held;       // key-down events Windows took, without their up yet
    std::size_t m_iPendingHeld = 0;  // keys down among the pending events
    bool m_bRefused = false;
    bool m_bWaitedForKeys = false;
};

// SendInput itself.
UINT SendInputEvents(std::span<INPUT> events);

// The reason given when Windows refused the keys.
std::u16string KeysRefusedReason();

}  // namespace quenby
