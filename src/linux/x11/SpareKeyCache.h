#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "linux/x11/XcbConnection.h"

namespace quenby {

// One key's symbols as XKB keeps them: the type of each group, the groups, the levels, the symbols.
struct XkbKeySyms {
    std::array<std::uint8_t, 4> m_types{};
    std::uint8_t m_groupInfo = 0;
    std::uint8_t m_width = 0;
    std::vector<std::uint32_t> m_syms;
};

// Keys lent to the characters of one text that the layout lacks, used as a cache: a character
// stays bound while its place is not wanted for another; when places must be given to other
// characters, the ones whose characters are needed farthest ahead in the text give way, and the
// characters needed soon after the one wanted now are bound in the same go.
//
// Each lent key holds two characters, the second typed with Shift. Lent are the keycodes without
// symbols and, for the one text, keycodes whose only symbols are vendor function keys (XF86...):
// LendKeys says why that is safe enough. However many keys change, each go is one XKB request, so
// clients see one keymap change per go; with two hundred places most texts need one go before
// their first key and one after their last.
//
// Xlib clients note a keymap change when they read it from their connection, and look up every key
// still in their queue in the keymap they fetch then; a change that arrives while they fetch an
// earlier one is lost to them for good (they clear what they noted once the fetch returns). So a
// keymap change goes out only when clients have worked through every key sent before it, which is
// estimated from the events sent (a slow client's backlog) and a settle time. Whether they have
// cannot be observed: a round trip to the server only shows that the server has sent the events.
class CSpareKeyCache {
public:
    using Clock = std::chrono::steady_clock;

    // Where a character is bound: the key, and whether Shift selects it.
    struct Binding {
        xkb_keycode_t m_key = 0;  // 0: not bound
        bool m_bShift = false;
    };

    // Lends keys of the server's keymap (described by `keymap`) once the first character needs
    // one; with `twoLevels` false, one character per key (for a layout without a Shift key).
    CSpareKeyCache(CXcbConnection& connection, xkb_keymap* keymap, bool twoLevels);
    ~CSpareKeyCache();
    CSpareKeyCache(const CSpareKeyCache&) = delete;
    CSpareKeyCache& operator=(const CSpareKeyCache&) = delete;

    // The keycodes without any symbol in the keymap that the core protocol can address.
    static std::vector<xkb_keycode_t> FindSpareKeys(xkb_keymap* keymap);
    // The keycodes the core protocol can address whose every symbol is a vendor function key, but
    // those that power, sleep, lock the session or switch radios off.
    static std::vector<xkb_keycode_t> FindVendorKeys(xkb_keymap* keymap);

    // Learns the text to come; `missing` says which characters need a lent key.
    void Plan(const std::vector<char32_t>& codePoints,
              const std::function<bool(char32_t)>& missing);
    // Binds the first characters the text lacks before any of its keys is sent: clients take the
    // change in at the first key they look up, and typing need not wait for them.
    void BindAhead();
    // The key bound to the character at `position` of the planned text (or to `codePoint` when it
    // does not stand there), binding it first; no key when the character has no keysym or there
    // are no keys to lend.
    Binding KeyFor(std::size_t position, char32_t codePoint);
    // Counts one key event sent on any key, a press or a release, for the estimate of the
    // client's backlog.
    void NoteEvent(bool press);
    // How many keymap changes this cache has made.
    std::size_t Changes() const { return m_iChanges; }
    // Gives every lent key its own symbols again, once clients have read the keys sent with them.
    void UnbindAll();

    // How long clients are given, past their estimated backlog, to take in what was sent (and to
    // fetch the keymap once more, which takes a round trip).
    static constexpr std::chrono::milliseconds kSettleTime{60};
    // How long a slow client may take per key event and per keymap change (it fetches the changed
    // keys); events sent faster than this pile up in its queue. A press is where a client does its
    // work (it looks the key up, inserts the character, asks for a redraw); a release is looked up
    // at most, and most clients drop it. The Xlib recorder of the tests takes some 7 µs per event.
    static constexpr std::chrono::microseconds kClientTimePerPress{100};
    static constexpr std::chrono::microseconds kClientTimePerRelease{20};
    static constexpr std::chrono::microseconds kClientTimePerChange{300};
    static constexpr std::chrono::milliseconds kLongestBacklogWait{5000};

private:
    struct LentKey {
        xkb_keycode_t m_key = 0;
        XkbKeySyms m_original;
        std::array<char32_t, 2> m_bound{};  // per level; 0: nothing
    };
    struct Slot {
        std::size_t m_lentKey = 0;
        std::uint8_t m_level = 0;
        char32_t m_codePoint = 0;  // 0: nothing
    };

    // Takes the keys that are free to lend: not down, not grabbed, without actions or modifiers.
    void LendKeys();
    std::size_t NextUse(char32_t codePoint, std::size_t from) const;
    // Binds the character at `position` and the missing characters soon after it.
    void BindFrom(std::size_t position, char32_t codePoint);
    // Puts the given slots' characters on their keys in one request.
    void Write(const std::vector<std::pair<std::size_t, char32_t>>& changes);
    // Waits until clients have handled every key sent since the last keymap change.
    void WaitForClients();

    CXcbConnection& m_connection;
    xkb_keymap* m_keymap;  // until the keys are lent
    bool m_bTwoLevels;
    xkb_keycode_t m_minKey = 0;  // the server's keycode range, which a request must name
    xkb_keycode_t m_maxKey = 0;
    std::vector<LentKey> m_keys;
    std::vector<Slot> m_slots;
    std::unordered_map<char32_t, std::size_t> m_slotOfCodePoint;
    std::vector<char32_t> m_codePoints;
    std::vector<bool> m_missing;  // per position of the text
    std::unordered_map<char32_t, std::vector<std::size_t>> m_positions;
    Clock::time_point m_clientDone{};  // when a slow client would have handled all sent so far
    std::size_t m_iEventsSinceChange = 0;
    std::size_t m_iChanges = 0;
};

}  // namespace quenby
