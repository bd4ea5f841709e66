#include "linux/x11/SpareKeyCache.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <unordered_set>

#include "linux/x11/XcbXkb.h"

namespace quenby {
namespace {

using Clock = CSpareKeyCache::Clock;

constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

// XKB keeps its canonical types first (ONE_LEVEL, TWO_LEVEL, ALPHABETIC, KEYPAD). TWO_LEVEL takes
// its second level with Shift alone, whatever the two characters (é and É, or ж and 字), and the
// core view of such a key is both symbols as they are, so no client derives a case pair from the
// first. (Xlib still capitalises under Caps Lock, which the keyboard output releases for the text.)
constexpr std::uint8_t kTwoLevelType = 1;

// The core keyboard: the server applies a change to it and all its devices, and announces it once
// (named by its device id, each device's change is announced to clients on its own).
constexpr xcb_xkb_device_spec_t kCoreKeyboard = XCB_XKB_ID_USE_CORE_KBD;

constexpr xkb_keysym_t kFirstVendorKeysym = 0x1008FF00;
constexpr xkb_keysym_t kLastVendorKeysym = 0x1008FFFF;

// Vendor keys never lent: were a listener that does not grab (one reading raw input, say) to take
// a press for its old meaning, it would power down, suspend, end or lock the session, or cut the
// machine off its networks or pointer.
constexpr xkb_keysym_t kNeverLent[] = {
    XKB_KEY_XF86PowerOff,    XKB_KEY_XF86PowerDown, XKB_KEY_XF86Sleep,
    XKB_KEY_XF86Suspend,     XKB_KEY_XF86Hibernate, XKB_KEY_XF86Standby,
    XKB_KEY_XF86WakeUp,      XKB_KEY_XF86LogOff,    XKB_KEY_XF86ScreenSaver,
    XKB_KEY_XF86RFKill,      XKB_KEY_XF86WLAN,      XKB_KEY_XF86Bluetooth,
    XKB_KEY_XF86WWAN,        XKB_KEY_XF86UWB,       XKB_KEY_XF86TouchpadToggle,
    XKB_KEY_XF86TouchpadOff, XKB_KEY_XF86DisplayOff};

// The keycodes (evdev numbering) Chromium gives no DOM code and no key code of its own, whatever it
// has read of the keymap, so that it leaves their text alone: keys of no physical key, or of keys
// it has no name for. Pressed there, every character arrived in a <textarea>; on the others, Copy,
// Cut and Paste lose theirs, Reload reloads the page, Back deletes the character before (or goes
// back), and media, browser and launch keys reach the page as named keys (MediaPlayPause...).
constexpr xkb_keycode_t kLendable[] = {8,   97,  103, 120, 132, 147, 149, 154, 155, 156,
                                       157, 159, 161, 162, 168, 177, 178, 183, 184, 210,
                                       211, 217, 219, 221, 222, 224, 226, 227, 228, 229,
                                       230, 236, 243, 244, 245, 247, 248, 251, 254, 255};

// When the last message gave its keys back. A client that fetches that keymap (at the next key it
// reads, Enter say) must be done before the next message changes it again, or it misses the
// change: the first change of a message waits a settle time past it.
std::atomic<Clock::rep> g_lastRestore{0};

// The keysym to bind: Latin-1 keysyms are the code points themselves; past them, the keysym that
// names the code point directly, since Xlib turns some older keysyms xkbcommon picks (such as the
// technical and publishing ones) into other characters.
xkb_keysym_t KeysymFor(char32_t codePoint) {
    if (codePoint < 0x100 || xkb_utf32_to_keysym(codePoint) == XKB_KEY_NoSymbol) {
        return xkb_utf32_to_keysym(codePoint);
    }
    return 0x01000000u | codePoint;
}

struct ServerKeys {
    xkb_keycode_t m_min = 0;
    xkb_keycode_t m_max = 0;
    std::vector<XkbKeySyms> m_syms;  // from m_min on
    std::vector<bool> m_busy;        // from m_min on: has actions, a behaviour or modifiers
};

// The symbols of every key of the server's keymap now and, with `details`, which keys do more
// than type their symbols.
std::optional<ServerKeys> ReadServerKeys(const CXcbConnection& connection, bool details) {
    xcb_connection_t* conn = connection.Get();
    std::uint16_t parts = XCB_XKB_MAP_PART_KEY_SYMS;
    if (details) {
        parts |= XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_KEY_BEHAVIORS |
                 XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    }
    const std::unique_ptr<xcb_xkb_get_map_reply_t, decltype(&std::free)> reply(
        xcb_xkb_get_map_reply(conn,
                              xcb_xkb_get_map(conn, kCoreKeyboard, parts, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 0, 0, 0, 0, 0),
                              nullptr),
        &std::free);
    if (!reply || reply->firstKeySym != reply->minKeyCode) {
        return std::nullopt;
    }
    xcb_xkb_get_map_map_t map{};
    xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(reply.get()), reply->nTypes, reply->nKeySyms,
                               reply->nKeyActions, reply->totalActions, reply->totalKeyBehaviors,
                               reply->virtualMods, reply->totalKeyExplicit, reply->totalModMapKeys,
                               reply->totalVModMapKeys, reply->present, &map);
    ServerKeys keys;
    keys.m_min = reply->minKeyCode;
    keys.m_max = reply->maxKeyCode;
    for (auto it = xcb_xkb_get_map_map_syms_rtrn_iterator(reply.get(), &map); it.rem > 0;
         xcb_xkb_key_sym_map_next(&it)) {
        XkbKeySyms key;
        std::copy(std::begin(it.data->kt_index), std::end(it.data->kt_index), key.m_types.begin());
        key.m_groupInfo = it.data->groupInfo;
        key.m_width = it.data->width;
        const xcb_keysym_t* syms = xcb_xkb_key_sym_map_syms(it.data);
        key.m_syms.assign(syms, syms + xcb_xkb_key_sym_map_syms_length(it.data));
        keys.m_syms.push_back(std::move(key));
    }
    if (keys.m_syms.size() != static_cast<std::size_t>(keys.m_max - keys.m_min + 1)) {
        return std::nullopt;
    }
    keys.m_busy.assign(keys.m_syms.size(), false);
    const auto busy = [&keys](unsigned key) {
        if (key >= keys.m_min && key <= keys.m_max) {
            keys.m_busy[key - keys.m_min] = true;
        }
    };
    if (details) {
        const std::uint8_t* actions = xcb_xkb_get_map_map_acts_rtrn_count(&map);
        for (unsigned i = 0; i < reply->nKeyActions; ++i) {
            if (actions[i] != 0) {
                busy(reply->firstKeyAction + i);
            }
        }
        for (unsigned i = 0; i < reply->totalKeyBehaviors; ++i) {
            busy(map.behaviors_rtrn[i].keycode);
        }
        for (unsigned i = 0; i < reply->totalModMapKeys; ++i) {
            busy(map.modmap_rtrn[i].keycode);
        }
        for (unsigned i = 0; i < reply->totalVModMapKeys; ++i) {
            busy(map.vmodmap_rtrn[i].keycode);
        }
    }
    return keys;
}

// Sets the symbols of the keys from `first` on, in one request: clients see one keymap change.
void SendKeySyms(const CXcbConnection& connection, const ServerKeys& range, xkb_keycode_t first,
                 const std::vector<XkbKeySyms>& keys) {
    std::vector<std::uint8_t> values;
    std::size_t total = 0;
    for (const XkbKeySyms& key : keys) {
        std::uint8_t head[8];
        std::copy(key.m_types.begin(), key.m_types.end(), head);
        head[4] = key.m_groupInfo;
        head[5] = key.m_width;
        const auto count = static_cast<std::uint16_t>(key.m_syms.size());
        std::memcpy(head + 6, &count, sizeof count);
        values.insert(values.end(), std::begin(head), std::end(head));
        const std::size_t at = values.size();
        values.resize(at + key.m_syms.size() * sizeof(std::uint32_t));
        if (!key.m_syms.empty()) {
            std::memcpy(values.data() + at, key.m_syms.data(), values.size() - at);
        }
        total += key.m_syms.size();
    }
    xcb_xkb_set_map(connection.Get(), kCoreKeyboard, XCB_XKB_MAP_PART_KEY_SYMS, 0,
                    static_cast<xcb_keycode_t>(range.m_min),
                    static_cast<xcb_keycode_t>(range.m_max), 0, 0,
                    static_cast<xcb_keycode_t>(first), static_cast<std::uint8_t>(keys.size()),
                    static_cast<std::uint16_t>(total), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                    0, values.data());
}

}  // namespace

CSpareKeyCache::CSpareKeyCache(CXcbConnection& connection, CClientProgress& progress,
                               xkb_keymap* keymap, bool twoLevels)
    : m_connection(connection),
      m_progress(progress),
      m_keymap(xkb_keymap_ref(keymap)),
      m_bTwoLevels(twoLevels) {}

bool CSpareKeyCache::IsLendable(xkb_keycode_t key) {
    return std::find(std::begin(kLendable), std::end(kLendable), key) != std::end(kLendable);
}

CSpareKeyCache::~CSpareKeyCache() {
    UnbindAll();
    xkb_keymap_unref(m_keymap);
}

std::vector<xkb_keycode_t> CSpareKeyCache::FindSpareKeys(xkb_keymap* keymap) {
    std::vector<xkb_keycode_t> keys;
    for (xkb_keycode_t key = std::max<xkb_keycode_t>(8, xkb_keymap_min_keycode(keymap));
         key <= std::min<xkb_keycode_t>(255, xkb_keymap_max_keycode(keymap)); ++key) {
        if (xkb_keymap_num_layouts_for_key(keymap, key) == 0) {
            keys.push_back(key);
        }
    }
    return keys;
}

std::vector<xkb_keycode_t> CSpareKeyCache::FindVendorKeys(xkb_keymap* keymap) {
    std::vector<xkb_keycode_t> keys;
    for (xkb_keycode_t key = std::max<xkb_keycode_t>(8, xkb_keymap_min_keycode(keymap));
         key <= std::min<xkb_keycode_t>(255, xkb_keymap_max_keycode(keymap)); ++key) {
        bool any = false;
        bool vendorOnly = true;
        for (xkb_layout_index_t layout = 0; layout < xkb_keymap_num_layouts_for_key(keymap, key);
             ++layout) {
            for (xkb_level_index_t level = 0;
                 level < xkb_keymap_num_levels_for_key(keymap, key, layout); ++level) {
                const xkb_keysym_t* syms = nullptr;
                const int count =
                    xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &syms);
                for (int i = 0; i < count; ++i) {
                    any = true;
                    vendorOnly = vendorOnly && syms[i] >= kFirstVendorKeysym &&
                                 syms[i] <= kLastVendorKeysym &&
                                 std::find(std::begin(kNeverLent), std::end(kNeverLent), syms[i]) ==
                                     std::end(kNeverLent);
                }
            }
        }
        if (any && vendorOnly) {
            keys.push_back(key);
        }
    }
    return keys;
}

// Lending a vendor key for one message is safe enough: such keys (media, launch, web keys) are
// pressed rarely, and only the ones that do nothing but type their symbol are taken: no action,
// behaviour or modifier, not held down, and not grabbed by any client (a desktop's media key grab
// would take our press away from the focused window and act on it). What remains: a user who
// presses such a key while a message is typed gets one of its characters instead, and a listener
// that grabs the key only on a window other than the root, or reads raw input, sees the press.
// Keys that would do harm then (power, sleep, session, radios) are never lent.
void CSpareKeyCache::LendKeys() {
    std::vector<xkb_keycode_t> candidates = FindSpareKeys(m_keymap);
    const std::vector<xkb_keycode_t> vendor = FindVendorKeys(m_keymap);
    candidates.insert(candidates.end(), vendor.begin(), vendor.end());
    xkb_keymap_unref(m_keymap);
    m_keymap = nullptr;
    const std::optional<ServerKeys> server = ReadServerKeys(m_connection, true);
    xcb_connection_t* conn = m_connection.Get();
    const std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> down(
        xcb_query_keymap_reply(conn, xcb_query_keymap(conn), nullptr), &std::free);
    if (!server || !down) {
        return;
    }
    m_minKey = server->m_min;
    m_maxKey = server->m_max;
    // A grab of any modifiers on the root window is refused while another client grabs the key.
    std::vector<std::pair<xkb_keycode_t, xcb_void_cookie_t>> probes;
    for (xkb_keycode_t key : candidates) {
        if (!IsLendable(key) || key < m_minKey || key > m_maxKey ||
            server->m_busy[key - m_minKey] || (down->keys[key / 8] & (1u << (key % 8))) != 0) {
            continue;
        }
        probes.emplace_back(
            key, xcb_grab_key_checked(conn, 0, m_connection.Root(), XCB_MOD_MASK_ANY,
                                      static_cast<xcb_keycode_t>(key), XCB_GRAB_MODE_ASYNC,
                                      XCB_GRAB_MODE_ASYNC));
    }
    for (const auto& [key, cookie] : probes) {
        if (xcb_generic_error_t* error = xcb_request_check(conn, cookie)) {
            std::free(error);
            continue;
        }
        xcb_ungrab_key(conn, static_cast<xcb_keycode_t>(key), m_connection.Root(),
                       XCB_MOD_MASK_ANY);
        m_keys.push_back(LentKey{key, server->m_syms[key - m_minKey], {}});
    }
    xcb_flush(conn);
    // First places take no Shift, so they are filled first.
    for (std::uint8_t level = 0; level < (m_bTwoLevels ? 2 : 1); ++level) {
        for (std::size_t k = 0; k < m_keys.size(); ++k) {
            m_slots.push_back(Slot{k, level, 0});
        }
    }
}

void CSpareKeyCache::Plan(const std::vector<char32_t>& codePoints,
                          const std::function<bool(char32_t)>& missing) {
    m_codePoints = codePoints;
    m_missing.assign(codePoints.size(), false);
    m_positions.clear();
    std::unordered_map<char32_t, bool> known;
    for (std::size_t i = 0; i < codePoints.size(); ++i) {
        const char32_t codePoint = codePoints[i];
        auto [it, added] = known.emplace(codePoint, false);
        if (added) {
            it->second = missing(codePoint) && xkb_utf32_to_keysym(codePoint) != XKB_KEY_NoSymbol;
        }
        m_missing[i] = it->second;
        if (it->second) {
            m_positions[codePoint].push_back(i);
        }
    }
}

std::size_t CSpareKeyCache::NextUse(char32_t codePoint, std::size_t from) const {
    const auto it = m_positions.find(codePoint);
    if (it == m_positions.end()) {
        return kNever;
    }
    const auto next = std::lower_bound(it->second.begin(), it->second.end(), from);
    return next == it->second.end() ? kNever : *next;
}

void CSpareKeyCache::BindAhead() {
    const auto first = std::find(m_missing.begin(), m_missing.end(), true);
    if (first != m_missing.end()) {
        const auto position = static_cast<std::size_t>(first - m_missing.begin());
        KeyFor(position, m_codePoints[position]);
    }
}

CSpareKeyCache::Binding CSpareKeyCache::KeyFor(std::size_t position, char32_t codePoint) {
    if (xkb_utf32_to_keysym(codePoint) == XKB_KEY_NoSymbol) {
        return {};
    }
    if (m_keymap != nullptr) {
        LendKeys();
    }
    if (m_slots.empty()) {
        return {};
    }
    auto bound = m_slotOfCodePoint.find(codePoint);
    if (bound == m_slotOfCodePoint.end()) {
        WaitForClients();
        BindFrom(position, codePoint);
        bound = m_slotOfCodePoint.find(codePoint);
        if (bound == m_slotOfCodePoint.end()) {
            return {};
        }
    }
    const Slot& slot = m_slots[bound->second];
    return Binding{m_keys[slot.m_lentKey].m_key, slot.m_level == 1};
}

void CSpareKeyCache::WaitForClients() {
    if (m_iChanges == 0) {
        const Clock::time_point restored{Clock::duration{g_lastRestore.load()}};
        std::this_thread::sleep_until(restored + kSettleTime);
    }
    // Even before our first change: a key sent earlier may be the one at which a client fetches a
    // keymap someone else changed (setxkbmap, say), and our change must not come during that fetch.
    if (m_iEventsSinceChange == 0) {
        return;  // nothing sent since the last change: clients have no key left to look up
    }
    m_connection.Sync();
    if (!WaitUntilRead()) {
        std::this_thread::sleep_until(std::min(m_clientDone, Clock::now() + kLongestBacklogWait) +
                                      kSettleTime);
    }
    m_iEventsSinceChange = 0;
}

bool CSpareKeyCache::WaitUntilRead() {
    const std::chrono::milliseconds longest = std::min(
        kLongestReadWait,
        kLongestBacklogWait +
            static_cast<std::chrono::milliseconds::rep>(m_iPressesSinceRead) * kReadTimePerPress);
    if (!m_progress.WaitUntilRead(longest)) {
        return false;
    }
    m_iPressesSinceRead = 0;
    return true;
}

void CSpareKeyCache::BindFrom(std::size_t position, char32_t codePoint) {
    const bool inText = position < m_codePoints.size() && m_codePoints[position] == codePoint;
    // The character wanted now, then the next missing ones in the order the text needs them.
    std::vector<std::pair<char32_t, std::size_t>> wanted{{codePoint, inText ? position : kNever}};
    std::unordered_set<char32_t> seen{codePoint};
    for (std::size_t i = inText ? position + 1 : m_codePoints.size();
         i < m_codePoints.size() && wanted.size() < m_slots.size(); ++i) {
        const char32_t next = m_codePoints[i];
        if (m_missing[i] && m_slotOfCodePoint.count(next) == 0 && seen.insert(next).second) {
            wanted.emplace_back(next, i);
        }
    }
    std::vector<bool> taken(m_slots.size(), false);
    std::vector<std::pair<std::size_t, char32_t>> changes;
    for (const auto& [want, use] : wanted) {
        // The place whose character is needed last (or never) gives way, and only to a character
        // needed before its own; the character wanted now always gets a place.
        std::size_t best = m_slots.size();
        std::size_t bestUse = 0;
        for (std::size_t s = 0; s < m_slots.size(); ++s) {
            if (taken[s]) {
                continue;
            }
            const std::size_t slotUse =
                m_slots[s].m_codePoint == 0 ? kNever : NextUse(m_slots[s].m_codePoint, position);
            if ((changes.empty() || slotUse > use) &&
                (best == m_slots.size() || slotUse > bestUse)) {
                best = s;
                bestUse = slotUse;
            }
        }
        if (best == m_slots.size()) {
            continue;
        }
        taken[best] = true;
        changes.emplace_back(best, want);
    }
    // Of the places taken, those without Shift go to the characters used most from here on: fewer
    // Shift presses to send, and to wait for.
    const auto usesLeft = [this, position](char32_t c) {
        const std::vector<std::size_t>& at = m_positions[c];
        return at.end() - std::lower_bound(at.begin(), at.end(), position);
    };
    std::vector<char32_t> characters;
    std::vector<std::size_t> places;
    for (const auto& [slot, c] : changes) {
        places.push_back(slot);
        characters.push_back(c);
    }
    std::stable_sort(characters.begin(), characters.end(),
                     [&usesLeft](char32_t a, char32_t b) { return usesLeft(a) > usesLeft(b); });
    std::stable_sort(places.begin(), places.end(), [this](std::size_t a, std::size_t b) {
        return m_slots[a].m_level < m_slots[b].m_level;
    });
    for (std::size_t i = 0; i < changes.size(); ++i) {
        changes[i] = {places[i], characters[i]};
    }
    Write(changes);
    // The next key is the new keymap's: it must not be read before the change is.
    WaitUntilRead();
}

void CSpareKeyCache::Write(const std::vector<std::pair<std::size_t, char32_t>>& changes) {
    if (changes.empty()) {
        return;
    }
    std::vector<std::size_t> touched;
    for (const auto& [slot, codePoint] : changes) {
        Slot& s = m_slots[slot];
        if (s.m_codePoint != 0) {
            m_slotOfCodePoint.erase(s.m_codePoint);
        }
        s.m_codePoint = codePoint;
        if (codePoint != 0) {
            m_slotOfCodePoint[codePoint] = slot;
        }
        m_keys[s.m_lentKey].m_bound[s.m_level] = codePoint;
        touched.push_back(s.m_lentKey);
    }
    // The keys in between go back as the server has them now, so that one request does it all.
    const std::optional<ServerKeys> server = ReadServerKeys(m_connection, false);
    if (!server || server->m_min != m_minKey || server->m_max != m_maxKey) {
        // The keymap was replaced meanwhile: its keys are not ours to set, and characters bound to
        // them would come out as whatever they are now.
        m_slots.clear();
        m_keys.clear();
        m_slotOfCodePoint.clear();
        return;
    }
    xkb_keycode_t first = m_maxKey;
    xkb_keycode_t last = m_minKey;
    for (std::size_t k : touched) {
        first = std::min(first, m_keys[k].m_key);
        last = std::max(last, m_keys[k].m_key);
    }
    std::vector<XkbKeySyms> keys(server->m_syms.begin() + (first - m_minKey),
                                 server->m_syms.begin() + (last - m_minKey + 1));
    for (std::size_t k : touched) {
        const LentKey& lent = m_keys[k];
        XkbKeySyms& key = keys[lent.m_key - first];
        if (lent.m_bound[0] == 0 && lent.m_bound[1] == 0) {
            key = lent.m_original;
            continue;
        }
        // An empty level repeats the other: the key types the same with Shift or without.
        const char32_t plain = lent.m_bound[0] != 0 ? lent.m_bound[0] : lent.m_bound[1];
        const char32_t shifted = lent.m_bound[1] != 0 ? lent.m_bound[1] : lent.m_bound[0];
        key = XkbKeySyms{{kTwoLevelType, 0, 0, 0}, 1, 2, {KeysymFor(plain), KeysymFor(shifted)}};
    }
    SendKeySyms(m_connection, *server, first, keys);
    xcb_flush(m_connection.Get());
    m_clientDone = std::max(m_clientDone, Clock::now()) + kClientTimePerChange;
    ++m_iChanges;
}

void CSpareKeyCache::NoteEvent(bool press) {
    m_clientDone = std::max(m_clientDone, Clock::now()) +
                   (press ? kClientTimePerPress : kClientTimePerRelease);
    ++m_iEventsSinceChange;
    m_iPressesSinceRead += press ? 1 : 0;
}

void CSpareKeyCache::UnbindAll() {
    std::vector<std::pair<std::size_t, char32_t>> changes;
    for (std::size_t s = 0; s < m_slots.size(); ++s) {
        if (m_slots[s].m_codePoint != 0) {
            changes.emplace_back(s, 0);
        }
    }
    if (changes.empty()) {
        return;
    }
    WaitForClients();
    Write(changes);
    m_connection.Sync();
    g_lastRestore = Clock::now().time_since_epoch().count();
}

}  // namespace quenby
