#include "linux/x11/SpareKeyCache.h"

#include <algorithm>
#include <limits>
#include <thread>
#include <unordered_set>

namespace quenby {
namespace {

constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

// The keysym to bind: Latin-1 keysyms are the code points themselves; past them, the keysym that
// names the code point directly, since Xlib turns some older keysyms xkbcommon picks (such as the
// technical and publishing ones) into other characters.
xkb_keysym_t KeysymFor(char32_t codePoint) {
    if (codePoint < 0x100 || xkb_utf32_to_keysym(codePoint) == XKB_KEY_NoSymbol) {
        return xkb_utf32_to_keysym(codePoint);
    }
    return 0x01000000u | codePoint;
}

}  // namespace

CSpareKeyCache::CSpareKeyCache(CXcbConnection& connection, std::vector<xkb_keycode_t> spareKeys)
    : m_connection(connection) {
    for (xkb_keycode_t key : spareKeys) {
        m_slotOfKey.emplace(key, m_slots.size());
        m_slots.push_back(Slot{key, 0});
    }
}

CSpareKeyCache::~CSpareKeyCache() {
    UnbindAll();
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

xkb_keycode_t CSpareKeyCache::KeyFor(std::size_t position, char32_t codePoint) {
    if (m_slots.empty() || xkb_utf32_to_keysym(codePoint) == XKB_KEY_NoSymbol) {
        return 0;
    }
    if (const auto bound = m_slotOfCodePoint.find(codePoint); bound != m_slotOfCodePoint.end()) {
        return m_slots[bound->second].m_key;
    }
    WaitForClients();
    BindFrom(position, codePoint);
    return m_slots[m_slotOfCodePoint.at(codePoint)].m_key;
}

void CSpareKeyCache::WaitForClients() {
    if (m_iEventsSinceChange == 0) {
        return;  // nothing sent since the last change: clients have no key left to look up
    }
    m_connection.Sync();
    std::this_thread::sleep_until(std::min(m_clientDone, Clock::now() + kLongestBacklogWait) +
                                  kSettleTime);
    m_iEventsSinceChange = 0;
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
        // The key whose character is needed last (or never) gives way, and only to a character
        // needed before its own; the character wanted now always gets a key.
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
    Write(changes);
}

void CSpareKeyCache::Write(const std::vector<std::pair<std::size_t, char32_t>>& changes) {
    std::vector<std::pair<xkb_keycode_t, xkb_keysym_t>> keys;
    for (const auto& [slot, codePoint] : changes) {
        Slot& s = m_slots[slot];
        if (s.m_codePoint != 0) {
            m_slotOfCodePoint.erase(s.m_codePoint);
        }
        s.m_codePoint = codePoint;
        if (codePoint != 0) {
            m_slotOfCodePoint[codePoint] = slot;
        }
        keys.emplace_back(s.m_key, codePoint == 0 ? XKB_KEY_NoSymbol : KeysymFor(codePoint));
    }
    std::sort(keys.begin(), keys.end());
    // One request per run of neighbouring keycodes; each key gets the symbol twice, which the
    // server makes a one-level key, so that an upper-case letter stays upper-case.
    xcb_connection_t* conn = m_connection.Get();
    for (std::size_t start = 0; start < keys.size();) {
        std::size_t end = start + 1;
        while (end < keys.size() && keys[end].first == keys[end - 1].first + 1) {
            ++end;
        }
        std::vector<xcb_keysym_t> symbols;
        for (std::size_t i = start; i < end; ++i) {
            symbols.push_back(keys[i].second);
            symbols.push_back(keys[i].second);
        }
        xcb_change_keyboard_mapping(conn, static_cast<std::uint8_t>(end - start),
                                    static_cast<xcb_keycode_t>(keys[start].first), 2,
                                    symbols.data());
        m_clientDone = std::max(m_clientDone, Clock::now()) + kClientTimePerChange;
        ++m_iChanges;
        start = end;
    }
    xcb_flush(conn);
}

void CSpareKeyCache::NoteEvent() {
    m_clientDone = std::max(m_clientDone, Clock::now()) + kClientTimePerEvent;
    ++m_iEventsSinceChange;
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
}

}  // namespace quenby
