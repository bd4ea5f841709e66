#pragma once

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "linux/x11/ClientProgress.h"
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
// LendKeys says why that is safe enough. Only keycodes that applications turn into text whatever
// they are bound to are lent (IsLendable). However many keys change, each go is one XKB request, so
// clients see one keymap change per go; with some seventy places most texts need one go before
// their first key and one after their last.
//
// Xlib clients note a keymap change when they read it from their connection, and look up every key
// still in their queue in the keymap they fetch then; a change that arrives while they fetch an
// earlier one is lost to them for good (they clear what they noted once the fetch returns).
// Chromium looks keys up through GTK, whose own connection reads the change as soon as it comes,
// however many keys Chromium still has to read: a key read after a later change comes out as that
// change's character, or as nothing. So a keymap change goes out only once the focused
// application has read every key sent before it, and the next key only once it has read the
// change. Where its window answers pings (Chromium, GTK, Qt) that is seen (CClientProgress);
// elsewhere it is estimated from the events sent (a slow client's backlog) and a settle time.
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
    // `progress` tells how far the focused application has read (shared with the keyboard's
    // other waits: both look at the same answers on the connection).
    CSpareKeyCache(CXcbConnection& connection, CClientProgress& progress, xkb_keymap* keymap,
                   bool twoLevels);
    ~CSpareKeyCache();
    CSpareKeyCache(const CSpareKeyCache&) = delete;
    CSpareKeyCache& operator=(const CSpareKeyCache&) = delete;

    // The keycodes without any symbol in the keymap that the core protocol can address.
    static std::vector<xkb_keycode_t> FindSpareKeys(xkb_keymap* keymap);
    // The keycodes the core protocol can address whose every symbol is a vendor function key, but
    // those that power, sleep, lock the session or switch radios off.
    static std::vector<xkb_keycode_t> FindVendorKeys(xkb_keymap* keymap);
    // Whether applications turn a key press on `key` into the text it is bound to. Chromium acts on
    // the physical key of some keycodes whatever their symbols (evdev numbering, as it assumes):
    // Copy, Cut and Paste edit, Back deletes or goes back, Reload reloads the page, media and
    // launch keys reach pages as named keys; measured, only the keycodes listed here become text.
    static bool IsLendable(xkb_keycode_t key);

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
    // How long an application that answers pings may take to read what was sent: long enough for
    // Chromium's backlog (it reads some 185 characters a second here), short of forever for a
    // hung one.
    static constexpr std::chrono::milliseconds kLongestReadWait{120000};
    static constexpr std::chrono::milliseconds kReadTimePerPress{50};

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
    // Waits until the focused application has read everything sent so far, where that can be seen.
    bool WaitUntilRead();

    CXcbConnection& m_connection;
    CClientProgress& m_progress;
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
    std::size_t m_iPressesSinceRead = 0;  // since the application was last seen to have read all
    std::size_t m_iChanges = 0;
};

}  // namespace quenby
