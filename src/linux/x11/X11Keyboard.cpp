#include "linux/x11/X11Keyboard.h"

#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "linux/x11/XcbXkb.h"

namespace quenby {
namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::vector<char32_t> CodePoints(std::u16string_view text) {
    std::vector<char32_t> codePoints;
    codePoints.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            codePoints.push_back(0x10000 + ((unit - 0xD800u) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else if (!IsHighSurrogate(unit) && !IsLowSurrogate(unit)) {
            codePoints.push_back(unit);
        }
    }
    return codePoints;
}

}  // namespace

CX11KeyboardOutput::CX11KeyboardOutput(std::unique_ptr<CXcbConnection> connection)
    : m_connection(std::move(connection)) {}

CX11KeyboardOutput::~CX11KeyboardOutput() {
    // Whatever happened, no key stays down and the keymap is left as it was found.
    for (auto it = m_pressed.rbegin(); it != m_pressed.rend();) {
        const KeyCode key = *it;
        ++it;
        SendKey(key, false);
    }
    if (!m_bound.empty()) {
        Unbind();
    }
    if (m_bRelockCaps) {
        SetCapsLock(true);
    }
    // The server drops fake input it has not handled yet when the connection closes.
    m_connection->Sync();
}

void CX11KeyboardOutput::WaitForForeignKeys() {
    if (m_bGaveUpWaiting) {
        return;
    }
    xcb_connection_t* conn = m_connection->Get();
    const auto deadline = std::chrono::steady_clock::now() + kLongestKeyWait;
    for (;;) {
        auto* state = xcb_query_keymap_reply(conn, xcb_query_keymap(conn), nullptr);
        if (state == nullptr) {
            return;
        }
        bool held = false;
        for (unsigned key = 8; key < 256 && !held; ++key) {
            const bool down = (state->keys[key / 8] & (1u << (key % 8))) != 0;
            held = down && m_pressed.count(key) == 0;
        }
        std::free(state);
        if (!held) {
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            m_bGaveUpWaiting = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CX11KeyboardOutput::SendKey(KeyCode key, bool down) {
    if (key == 0 || key > 255) {
        return;
    }
    // Before the first key of a character, not between a modifier and its key.
    if (down && m_pressed.empty()) {
        WaitForForeignKeys();
    }
    xcb_test_fake_input(m_connection->Get(), down ? XCB_KEY_PRESS : XCB_KEY_RELEASE,
                        static_cast<std::uint8_t>(key), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(m_connection->Get());
    ++m_iEventsSinceBind;
    if (down) {
        m_pressed.insert(key);
    } else {
        m_pressed.erase(key);
    }
}

void CX11KeyboardOutput::PressEnter() {
    if (m_returnKey == 0) {
        if (auto snapshot = CXkbSnapshot::Take(*m_connection); snapshot.ok()) {
            CX11Layout layout(std::move(snapshot).value());
            if (auto key = layout.FindCodePoint(U'\r')) {
                m_returnKey = key->m_key;
            }
        }
    }
    SendKey(m_returnKey, true);
    SendKey(m_returnKey, false);
}

void CX11KeyboardOutput::Beep() {
    xcb_bell(m_connection->Get(), 0);
    xcb_flush(m_connection->Get());
}

std::unique_ptr<IKeyboardLayout> CX11KeyboardOutput::LoadCurrentLayout() {
    Expected<std::unique_ptr<CXkbSnapshot>> snapshot = CXkbSnapshot::Take(*m_connection);
    if (!snapshot.ok()) {
        return nullptr;
    }
    return std::make_unique<CX11Layout>(std::move(snapshot).value());
}

void CX11KeyboardOutput::SetCapsLock(bool locked) {
    xcb_xkb_latch_lock_state(m_connection->Get(),
                             static_cast<xcb_xkb_device_spec_t>(m_connection->KeyboardDeviceId()),
                             XCB_MOD_MASK_LOCK, locked ? XCB_MOD_MASK_LOCK : 0, 0, 0, 0, 0, 0);
    m_connection->Sync();
}

void CX11KeyboardOutput::BeginUnicodeText(std::u16string_view text) {
    Expected<std::unique_ptr<CXkbSnapshot>> snapshot = CXkbSnapshot::Take(*m_connection);
    if (!snapshot.ok()) {
        return;
    }
    const xkb_mod_index_t lock =
        xkb_keymap_mod_get_index(snapshot.value()->Keymap(), XKB_MOD_NAME_CAPS);
    if (lock != XKB_MOD_INVALID &&
        xkb_state_mod_index_is_active(snapshot.value()->State(), lock, XKB_STATE_MODS_LOCKED) > 0) {
        SetCapsLock(false);
        m_bRelockCaps = true;
        snapshot = CXkbSnapshot::Take(*m_connection);
        if (!snapshot.ok()) {
            return;
        }
    }
    m_unicodeLayout = std::make_unique<CX11Layout>(std::move(snapshot).value());
    m_codePoints = CodePoints(text);
    m_iNextCodePoint = 0;
    m_highSurrogate = 0;
    // Spare keys: keycodes the core protocol can address that have no symbols at all.
    xkb_keymap* keymap = m_unicodeLayout->Snapshot().Keymap();
    m_spareKeys.clear();
    for (xkb_keycode_t key = std::max<xkb_keycode_t>(8, xkb_keymap_min_keycode(keymap));
         key <= std::min<xkb_keycode_t>(255, xkb_keymap_max_keycode(keymap)); ++key) {
        if (xkb_keymap_num_layouts_for_key(keymap, key) == 0) {
            m_spareKeys.push_back(key);
        }
    }
    BindMissing(0);
}

void CX11KeyboardOutput::EndUnicodeText() {
    for (auto it = m_down.begin(); it != m_down.end(); it = m_down.begin()) {
        TypeCodePoint(it->first, false);
    }
    if (!m_bound.empty()) {
        Unbind();
    }
    if (m_bRelockCaps) {
        SetCapsLock(true);
        m_bRelockCaps = false;
    }
    m_unicodeLayout.reset();
    m_codePoints.clear();
}

void CX11KeyboardOutput::BindMissing(std::size_t from) {
    std::vector<std::pair<xkb_keycode_t, std::uint32_t>> keys;
    for (std::size_t i = from; i < m_codePoints.size() && keys.size() < m_spareKeys.size(); ++i) {
        const char32_t codePoint = m_codePoints[i];
        if (m_bound.count(codePoint) != 0 || m_unicodeLayout->FindCodePoint(codePoint)) {
            continue;
        }
        const xkb_keysym_t keysym = xkb_utf32_to_keysym(codePoint);
        if (keysym == XKB_KEY_NoSymbol) {
            continue;
        }
        const xkb_keycode_t key = m_spareKeys[keys.size()];
        m_bound.emplace(codePoint, key);
        keys.emplace_back(key, keysym);
    }
    if (keys.empty()) {
        return;
    }
    WriteMapping(keys);
    m_connection->Sync();
    std::this_thread::sleep_for(kSettleTime);
    m_bindTime = std::chrono::steady_clock::now();
    m_iEventsSinceBind = 0;
}

void CX11KeyboardOutput::Unbind() {
    // Xlib clients note a keymap change when they read it from the server, and look up every key
    // still in their queue in the new keymap: the keys sent with the binding must all have been
    // handled before it goes. A client that could not keep up has a backlog to work through.
    m_connection->Sync();
    const auto sending = std::chrono::steady_clock::now() - m_bindTime;
    const auto handling = kClientTimePerEvent * static_cast<long>(m_iEventsSinceBind);
    const auto backlog = std::min<std::chrono::steady_clock::duration>(
        std::max<std::chrono::steady_clock::duration>(handling - sending, {}), kLongestBacklogWait);
    std::this_thread::sleep_for(kSettleTime + backlog);
    std::vector<std::pair<xkb_keycode_t, std::uint32_t>> keys;
    for (const auto& [codePoint, key] : m_bound) {
        keys.emplace_back(key, XKB_KEY_NoSymbol);
    }
    m_bound.clear();
    WriteMapping(keys);
    m_connection->Sync();
}

void CX11KeyboardOutput::WriteMapping(
    const std::vector<std::pair<xkb_keycode_t, std::uint32_t>>& keys) {
    std::vector<std::pair<xkb_keycode_t, std::uint32_t>> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    // One request per run of neighbouring keycodes: as few keymap changes as the spare keys allow.
    for (std::size_t start = 0; start < sorted.size();) {
        std::size_t end = start + 1;
        while (end < sorted.size() && sorted[end].first == sorted[end - 1].first + 1) {
            ++end;
        }
        std::vector<xcb_keysym_t> symbols;
        for (std::size_t i = start; i < end; ++i) {
            symbols.push_back(sorted[i].second);
            symbols.push_back(sorted[i].second);
        }
        xcb_change_keyboard_mapping(m_connection->Get(), static_cast<std::uint8_t>(end - start),
                                    static_cast<xcb_keycode_t>(sorted[start].first), 2,
                                    symbols.data());
        start = end;
    }
    xcb_flush(m_connection->Get());
}

void CX11KeyboardOutput::SendUnicodeUnit(char16_t unit, bool down) {
    if (IsHighSurrogate(unit)) {
        m_highSurrogate = down ? unit : m_highSurrogate;
        return;
    }
    char32_t codePoint = unit;
    if (IsLowSurrogate(unit)) {
        if (m_highSurrogate == 0) {
            return;  // half a character: nothing to type
        }
        codePoint = 0x10000 + ((m_highSurrogate - 0xD800u) << 10) + (unit - 0xDC00u);
        if (!down) {
            m_highSurrogate = 0;
        }
    }
    TypeCodePoint(codePoint, down);
}

void CX11KeyboardOutput::TypeCodePoint(char32_t codePoint, bool down) {
    if (!down) {
        const auto it = m_down.find(codePoint);
        if (it == m_down.end()) {
            return;
        }
        const KeyForCharacter key = it->second;
        m_down.erase(it);
        SendKey(key.m_key, false);
        for (EKeyModifier modifier :
             {KEY_MODIFIER_LEVEL5, KEY_MODIFIER_LEVEL3, KEY_MODIFIER_SHIFT}) {
            if ((key.m_modifiers & modifier) != 0) {
                SendKey(m_unicodeLayout->ModifierKey(modifier), false);
            }
        }
        return;
    }
    if (!m_unicodeLayout) {
        return;
    }
    // Text typed in the order it stands: find where this character is, for rebinding.
    while (m_iNextCodePoint < m_codePoints.size() && m_codePoints[m_iNextCodePoint] != codePoint) {
        ++m_iNextCodePoint;
    }
    std::optional<KeyForCharacter> key = m_unicodeLayout->FindCodePoint(codePoint);
    if (!key) {
        if (m_bound.count(codePoint) == 0 && m_iNextCodePoint < m_codePoints.size()) {
            // More characters are missing than there are spare keys: bind the next batch.
            Unbind();
            BindMissing(m_iNextCodePoint);
        }
        const auto bound = m_bound.find(codePoint);
        if (bound == m_bound.end()) {
            return;
        }
        key = KeyForCharacter{bound->second, 0};
    }
    for (EKeyModifier modifier : {KEY_MODIFIER_SHIFT, KEY_MODIFIER_LEVEL3, KEY_MODIFIER_LEVEL5}) {
        if ((key->m_modifiers & modifier) != 0) {
            SendKey(m_unicodeLayout->ModifierKey(modifier), true);
        }
    }
    SendKey(key->m_key, true);
    m_down[codePoint] = *key;
    if (m_iNextCodePoint < m_codePoints.size()) {
        ++m_iNextCodePoint;
    }
}

Expected<std::unique_ptr<IKeyboardOutput>> CX11Keyboard::OpenOutput() {
    Expected<std::unique_ptr<CXcbConnection>> connection = CXcbConnection::Open();
    if (!connection.ok()) {
        return connection.status();
    }
    return std::unique_ptr<IKeyboardOutput>(
        std::make_unique<CX11KeyboardOutput>(std::move(connection).value()));
}

}  // namespace quenby
