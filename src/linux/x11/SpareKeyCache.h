#pragma once

#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "linux/x11/XcbConnection.h"

namespace quenby {

// Spare keycodes (keycodes without symbols) used as a cache for the characters of one text that
// the layout lacks. A character stays bound while its key is not wanted for another; when keys must
// be given to other characters, the ones whose characters are needed farthest ahead in the text
// give way, and the characters needed soon after the one wanted now are bound in the same go.
//
// Xlib clients note a keymap change when they read it from their connection, and look up every key
// still in their queue in the keymap they fetch then; a change that arrives while they fetch an
// earlier one is lost to them for good (they clear what they noted once the fetch returns). So a
// keymap change goes out only when clients have worked through every key sent before it, which is
// estimated from the events sent (a slow client's backlog) and a settle time. Changes are therefore
// made in as few goes as the spare keys allow, and none is made while only bound characters are
// typed.
class CSpareKeyCache {
public:
    using Clock = std::chrono::steady_clock;

    CSpareKeyCache(CXcbConnection& connection, std::vector<xkb_keycode_t> spareKeys);
    ~CSpareKeyCache();
    CSpareKeyCache(const CSpareKeyCache&) = delete;
    CSpareKeyCache& operator=(const CSpareKeyCache&) = delete;

    // The keycodes without any symbol in the keymap that the core protocol can address.
    static std::vector<xkb_keycode_t> FindSpareKeys(xkb_keymap* keymap);

    // Learns the text to come; `missing` says which characters need a spare key.
    void Plan(const std::vector<char32_t>& codePoints,
              const std::function<bool(char32_t)>& missing);
    // The key bound to the character at `position` of the planned text (or to `codePoint` when it
    // does not stand there), binding it first; 0 when the character has no keysym or there are no
    // spare keys.
    xkb_keycode_t KeyFor(std::size_t position, char32_t codePoint);
    // Counts one key event sent on any key, for the estimate of the client's backlog.
    void NoteEvent();
    // How many keymap changes this cache has made.
    std::size_t Changes() const { return m_iChanges; }
    // Leaves every spare key without symbols again, once clients have read the keys sent with them.
    void UnbindAll();

    // How long clients are given, past their estimated backlog, to take in what was sent.
    static constexpr std::chrono::milliseconds kSettleTime{60};
    // How long a slow client may take per key event and per keymap change (it fetches the changed
    // keys); events sent faster than this pile up in its queue.
    static constexpr std::chrono::microseconds kClientTimePerEvent{100};
    static constexpr std::chrono::microseconds kClientTimePerChange{300};
    static constexpr std::chrono::milliseconds kLongestBacklogWait{5000};

private:
    struct Slot {
        xkb_keycode_t m_key = 0;
        char32_t m_codePoint = 0;       // 0: no symbol
        Clock::time_point m_readyAt{};  // from then on the key may be bound again
    };

    std::size_t NextUse(char32_t codePoint, std::size_t from) const;
    // Binds the character at `position` and the missing characters soon after it.
    void BindFrom(std::size_t position, char32_t codePoint);
    void Write(const std::vector<std::pair<std::size_t, char32_t>>& changes);
    // Waits until clients have handled every key sent since the last keymap change.
    void WaitForClients();

    CXcbConnection& m_connection;
    std::vector<Slot> m_slots;
    std::unordered_map<xkb_keycode_t, std::size_t> m_slotOfKey;
    std::unordered_map<char32_t, std::size_t> m_slotOfCodePoint;
    std::vector<char32_t> m_codePoints;
    std::vector<bool> m_missing;  // per position of the text
    std::unordered_map<char32_t, std::vector<std::size_t>> m_positions;
    Clock::time_point m_clientDone{};  // when a slow client would have handled all sent so far
    std::size_t m_iEventsSinceChange = 0;
    std::size_t m_iChanges = 0;
};

}  // namespace quenby
