#include "linux/x11/X11Keyboard.h"

#include <xcb/xcbext.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>

#include "linux/x11/XcbXkb.h"

namespace quenby {
namespace {

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
    : m_connection(std::move(connection)), m_progress(*m_connection) {}

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
    if (m_keysAsked) {
        xcb_discard_reply(m_connection->Get(), m_keysAsked->sequence);
    }
    // The server drops fake input it has not handled yet when the connection closes.
    m_connection->Sync();
}

bool CX11KeyboardOutput::ForeignKeyHeld(const xcb_query_keymap_reply_t& state) const {
    for (unsigned key = 8; key < 256; ++key) {
        if ((state.keys[key / 8] & (1u << (key % 8))) != 0 && m_pressed.count(key) == 0) {
            return true;
        }
    }
    return false;
}

void CX11KeyboardOutput::AskForKeys() {
    m_keysAsked = xcb_query_keymap(m_connection->Get());
    m_keysAskedAt = std::chrono::steady_clock::now();
}

void CX11KeyboardOutput::WaitForForeignKeys() {
    if (m_bGaveUpWaiting) {
        return;
    }
    xcb_connection_t* conn = m_connection->Get();
    // At full speed the question is asked with none of our keys down and its answer looked at once
    // it has come, a character or a few later: waiting for a fresh answer before each character
    // would make typing as slow as a round trip to the server (four times slower, measured), to
    // notice a key the user presses a millisecond sooner. After a pause between characters the
    // answer is stale (the user may have pressed Ctrl since): then, and at a message's first
    // character, typing waits for a fresh one.
    if (m_keysAsked && std::chrono::steady_clock::now() - m_keysAskedAt > kFreshKeysAnswer) {
        xcb_discard_reply(conn, m_keysAsked->sequence);
        m_keysAsked.reset();
    }
    if (m_keysAsked) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(conn, m_keysAsked->sequence, &reply, &error) == 0) {
            return;
        }
        std::free(error);
        std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> state(
            static_cast<xcb_query_keymap_reply_t*>(reply), &std::free);
        m_keysAsked.reset();
        if (state && !ForeignKeyHeld(*state)) {
            AskForKeys();
            return;
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + kLongestKeyWait;
    for (;;) {
        std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> state(
            xcb_query_keymap_reply(conn, xcb_query_keymap(conn), nullptr), &std::free);
        if (!state) {
            return;
        }
        if (!ForeignKeyHeld(*state)) {
            AskForKeys();
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
    if (CComposedKeys::IsSequenceKey(key)) {
        if (down && m_sequences) {
            // Qt 6 puts the character a dead key makes into the text as soon as it reads the
            // keys, ahead of keys it has read but not handled yet (it landed before the text
            // typed just before it, as with any typist at speed): those must be handled first.
            if (m_bPressedSinceRead) {
                m_connection->Sync();
                m_progress.WaitUntilRead(kLongestComposeWait);
                m_bPressedSinceRead = false;
            }
            CComposedKeys::PressKeysOf(*m_sequences, key,
                                       [this](KeyCode k, bool d) { SendKey(k, d); });
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
        m_spareKeys->NoteEvent(down);
    }
    if (down) {
        m_pressed.insert(key);
        m_bPressedSinceRead = true;
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

Status CX11KeyboardOutput::SendStatus() {
    if (!m_connection->Alive()) {
        return Status::Fail(u"The connection to the X server was lost (the display was closed).");
    }
    return Status::Ok();
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
    m_surrogates = {};
    m_spareKeys = std::make_unique<CSpareKeyCache>(
        *m_connection, m_progress, m_unicodeLayout->Snapshot().Keymap(),
        m_unicodeLayout->ModifierKey(KEY_MODIFIER_SHIFT) != 0);
    const CX11Layout& layout = *m_unicodeLayout;
    m_spareKeys->Plan(m_codePoints, [&layout](char32_t codePoint) {
        return !layout.FindCodePoint(codePoint).has_value();
    });
    m_spareKeys->BindAhead();
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
    if (const std::optional<char32_t> codePoint = m_surrogates.Join(unit, down)) {
        TypeCodePoint(*codePoint, down);
    }
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
        const CSpareKeyCache::Binding lent = m_spareKeys
                                                 ? m_spareKeys->KeyFor(m_iNextCodePoint, codePoint)
                                                 : CSpareKeyCache::Binding{};
        if (lent.m_key == 0) {
            return;
        }
        key = KeyForCharacter{lent.m_key,
                              static_cast<std::uint8_t>(lent.m_bShift ? KEY_MODIFIER_SHIFT : 0)};
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
