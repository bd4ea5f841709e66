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
    m_spareKeys.reset();
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
    if (key >= CX11Layout::kFirstSequenceKey && m_sequences) {
        const std::size_t index = key - CX11Layout::kFirstSequenceKey;
        if (down && index < m_sequences->size()) {
            TypeSequence((*m_sequences)[index]);
        }
        return;
    }
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
    if (m_spareKeys) {
        m_spareKeys->NoteEvent();
    }
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
    auto layout = std::make_unique<CX11Layout>(std::move(snapshot).value());
    m_sequences = layout->Sequences();
    return layout;
}

void CX11KeyboardOutput::TypeSequence(const PressSequence& sequence) {
    for (std::size_t i = 0; i < sequence.m_keys.size(); ++i) {
        for (KeyCode modifier : sequence.m_held[i]) {
            SendKey(modifier, true);
        }
        SendKey(sequence.m_keys[i], true);
        SendKey(sequence.m_keys[i], false);
        for (auto it = sequence.m_held[i].rbegin(); it != sequence.m_held[i].rend(); ++it) {
            SendKey(*it, false);
        }
    }
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
    m_spareKeys = std::make_unique<CSpareKeyCache>(
        *m_connection, CSpareKeyCache::FindSpareKeys(m_unicodeLayout->Snapshot().Keymap()));
    const CX11Layout& layout = *m_unicodeLayout;
    m_spareKeys->Plan(m_codePoints, [&layout](char32_t codePoint) {
        return !layout.FindCodePoint(codePoint).has_value();
    });
}

void CX11KeyboardOutput::EndUnicodeText() {
    for (auto it = m_down.begin(); it != m_down.end(); it = m_down.begin()) {
        TypeCodePoint(it->first, false);
    }
    m_spareKeys.reset();
    if (m_bRelockCaps) {
        SetCapsLock(true);
        m_bRelockCaps = false;
    }
    m_unicodeLayout.reset();
    m_codePoints.clear();
}

void CX11KeyboardOutput::SendUnicodeUnit(char16_t unit, bool down) {
    if (IsHighSurrogate(unit)) {
        m_highSurrogate = down ? unit : m_highSurrogate;
        return;
    }
    char32_t codePoint = unit;
    if (!IsLowSurrogate(unit)) {
        m_highSurrogate = 0;  // a high half followed by anything but a low one is no character
    } else {
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
        const xkb_keycode_t spare =
            m_spareKeys ? m_spareKeys->KeyFor(m_iNextCodePoint, codePoint) : 0;
        if (spare == 0) {
            return;
        }
        key = KeyForCharacter{spare, 0};
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
