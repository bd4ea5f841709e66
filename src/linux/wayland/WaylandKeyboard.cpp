#include "linux/wayland/WaylandKeyboard.h"

#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <thread>

#include "linux/wayland/WaylandLayout.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace quenby {
namespace {

// Evdev numbers keys from 0; XKB from 8.
constexpr xkb_keycode_t kEvdevOffset = 8;

std::vector<xkb_keysym_t> Keysyms(std::u16string_view text) {
    std::vector<xkb_keysym_t> keysyms;
    keysyms.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i];
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            codePoint = 0x10000 + ((text[i] - 0xD800u) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        keysyms.push_back(CVirtualKeymap::KeysymFor(codePoint));
    }
    return keysyms;
}

std::uint32_t MillisecondsNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

}  // namespace

CWaylandKeyboardOutput::CWaylandKeyboardOutput(std::unique_ptr<CWaylandSession> session,
                                               zwp_virtual_keyboard_v1* keyboard,
                                               bool seatHadKeyboard, std::string userKeymap,
                                               WaylandPacing pacing, std::function<void()> beep,
                                               ITextIntake* intake)
    : m_session(std::move(session)),
      m_bSeatHadKeyboard(seatHadKeyboard),
      m_keyboard(keyboard),
      m_strUserKeymap(std::move(userKeymap)),
      m_pacing(pacing),
      m_beep(std::move(beep)),
      m_pacer(*m_session, pacing, intake),
      m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

CWaylandKeyboardOutput::~CWaylandKeyboardOutput() {
    // Whatever happened, no key stays down, and the compositor has handled every key before the
    // keyboard goes: a key still unread when it goes could be lost or repeat.
    ReleaseAll();
    m_session->RoundTrip();
    zwp_virtual_keyboard_v1_destroy(m_keyboard);
    m_session->RoundTrip();
    if (m_state != nullptr) {
        xkb_state_unref(m_state);
    }
    if (m_keymap != nullptr) {
        xkb_keymap_unref(m_keymap);
    }
    m_userLayout.reset();
    xkb_context_unref(m_context);
}

void CWaylandKeyboardOutput::ReleaseAll() {
    while (!m_pressed.empty()) {
        const xkb_keycode_t key = m_pressed.back();
        Press(key, false);
        // A key the compositor can no longer be told about (it went away) is let go all the same.
        if (!m_pressed.empty() && m_pressed.back() == key) {
            m_pressed.pop_back();
        }
    }
    m_down.clear();
}

bool CWaylandKeyboardOutput::Upload(const std::string& text) {
    if (!m_session->Alive()) {
        return false;
    }
    xkb_keymap* keymap = xkb_keymap_new_from_string(
        m_context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        return false;
    }
    // The compositor maps the keymap from a file: an anonymous one, with the final zero.
    const int fd = ::memfd_create("quenby-keymap", MFD_CLOEXEC);
    if (fd < 0) {
        xkb_keymap_unref(keymap);
        return false;
    }
    const std::size_t size = text.size() + 1;
    bool written = true;
    for (std::size_t done = 0; written && done < size;) {
        const ssize_t n = ::write(fd, text.c_str() + done, size - done);
        written = n > 0;
        done += written ? static_cast<std::size_t>(n) : 0;
    }
    if (!written) {
        ::close(fd);
        xkb_keymap_unref(keymap);
        return false;
    }
    // Keys of the old keymap are all up by now (each character releases its own).
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(size));
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    ::close(fd);  // the request holds a duplicate until it is sent
    if (m_state != nullptr) {
        xkb_state_unref(m_state);
    }
    if (m_keymap != nullptr) {
        xkb_keymap_unref(m_keymap);
    }
    m_keymap = keymap;
    m_state = xkb_state_new(keymap);
    m_session->RoundTrip();
    if (!m_bUploaded && !m_bSeatHadKeyboard) {
        m_session->WaitForSeatKeyboard(CWaylandSession::kLongestWait);
        std::this_thread::sleep_for(m_pacing.m_newKeyboard);
    } else if (m_bUploaded) {
        std::this_thread::sleep_for(m_pacing.m_afterKeymap);
    }
    m_bUploaded = true;
    return true;
}

bool CWaylandKeyboardOutput::UseUserKeymap() {
    if (m_keymapKind == EKeymap::User) {
        return true;
    }
    if (m_strUserKeymap.empty() || !m_pressed.empty() || !Upload(m_strUserKeymap)) {
        return false;
    }
    m_keymapKind = EKeymap::User;
    m_virtual.reset();
    return true;
}

void CWaylandKeyboardOutput::SelectVirtualKeymapFor(xkb_keysym_t keysym) {
    if (m_keymapKind == EKeymap::Virtual && m_virtual->Has(keysym)) {
        return;
    }
    if (!m_pressed.empty()) {
        return;  // a key of this keymap is down: it cannot change under it
    }
    // The text is typed in order, so its next keysym is in the chunk after the current one.
    std::size_t next = m_iNextChunk;
    while (next < m_chunks.size() && !m_chunks[next].Has(keysym)) {
        ++next;
    }
    if (next < m_chunks.size()) {
        m_iNextChunk = next + 1;
        m_virtual = m_chunks[next];
    } else {
        m_virtual = CVirtualKeymap({keysym});
    }
    if (!Upload(m_virtual->Text())) {
        m_virtual.reset();
        m_keymapKind = EKeymap::None;
        return;
    }
    m_keymapKind = EKeymap::Virtual;
}

Status CWaylandKeyboardOutput::SendStatus() {
    if (!m_session->Alive()) {
        return Status::Fail(
            u"The connection to the Wayland compositor was lost (it stopped, or "
            u"closed Quenby's virtual keyboard).");
    }
    return m_pacer.Failure();
}

void CWaylandKeyboardOutput::SetInterrupt(std::function<bool()> interrupted) {
    m_pacer.SetInterrupt(std::move(interrupted));
}

void CWaylandKeyboardOutput::Press(xkb_keycode_t key, bool down) {
    if (key <= kEvdevOffset || !m_session->Alive() || m_keymap == nullptr) {
        return;
    }
    const auto pressed = std::find(m_pressed.begin(), m_pressed.end(), key);
    if (down == (pressed != m_pressed.end())) {
        return;  // already in that state
    }
    if (down) {
        // What the key makes with the modifiers down now: a modifier or a dead key makes nothing.
        if (!m_pacer.BeforePress(xkb_state_key_get_utf32(m_state, key) != 0)) {
            return;
        }
        m_pressed.push_back(key);
    } else {
        m_pressed.erase(pressed);
    }
    zwp_virtual_keyboard_v1_key(
        m_keyboard, MillisecondsNow(), key - kEvdevOffset,
        down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    // The compositor is told the modifiers explicitly: what a key means to the focused client is
    // then never left to how the compositor tracks a virtual keyboard's state.
    const xkb_state_component changed =
        xkb_state_update_key(m_state, key, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    if ((changed & (XKB_STATE_MODS_EFFECTIVE | XKB_STATE_LAYOUT_EFFECTIVE)) != 0) {
        zwp_virtual_keyboard_v1_modifiers(
            m_keyboard, xkb_state_serialize_mods(m_state, XKB_STATE_MODS_DEPRESSED),
            xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LATCHED),
            xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LOCKED),
            xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_EFFECTIVE));
    }
    wl_display_flush(m_session->Display());
}

void CWaylandKeyboardOutput::BeginUnicodeText(std::u16string_view text) {
    m_chunks.clear();
    for (const std::vector<xkb_keysym_t>& chunk : CVirtualKeymap::Chunks(Keysyms(text))) {
        m_chunks.emplace_back(chunk);
    }
    m_iNextChunk = 0;
    m_surrogates = {};
    // A message may begin with Enter in the user's keymap: the text starts with its first chunk.
    if (m_keymapKind == EKeymap::Virtual) {
        m_keymapKind = EKeymap::None;
        m_virtual.reset();
    }
}

void CWaylandKeyboardOutput::EndUnicodeText() {
    ReleaseAll();
    m_chunks.clear();
}

void CWaylandKeyboardOutput::SendUnicodeUnit(char16_t unit, bool down) {
    if (const std::optional<char32_t> codePoint = m_surrogates.Join(unit, down)) {
        TypeCodePoint(*codePoint, down);
    }
}

void CWaylandKeyboardOutput::TypeCodePoint(char32_t codePoint, bool down) {
    if (!down) {
        const auto it = m_down.find(codePoint);
        if (it != m_down.end()) {
            const xkb_keycode_t key = it->second;
            m_down.erase(it);
            Press(key, false);
        }
        return;
    }
    const xkb_keysym_t keysym = CVirtualKeymap::KeysymFor(codePoint);
    if (keysym == XKB_KEY_NoSymbol) {
        return;
    }
    SelectVirtualKeymapFor(keysym);
    if (m_keymapKind != EKeymap::Virtual || !m_virtual->Has(keysym)) {
        return;
    }
    const xkb_keycode_t key = m_virtual->KeyFor(keysym);
    Press(key, true);
    m_down[codePoint] = key;
}

void CWaylandKeyboardOutput::SendKey(KeyCode key, bool down) {
    if (CComposedKeys::IsSequenceKey(key)) {
        if (down && m_sequences) {
            CComposedKeys::PressKeysOf(*m_sequences, key,
                                       [this](KeyCode k, bool d) { SendKey(k, d); });
        }
        return;
    }
    if (key == 0 || key > 255 || (down && !UseUserKeymap())) {
        return;
    }
    Press(static_cast<xkb_keycode_t>(key), down);
}

void CWaylandKeyboardOutput::PressEnter() {
    xkb_keycode_t key = 0;
    if (m_keymapKind == EKeymap::User && m_userLayout) {
        key = m_userLayout->FindKey(u'\r').value_or(KeyForCharacter{}).m_key;
    }
    if (key == 0) {
        SelectVirtualKeymapFor(XKB_KEY_Return);
        key = m_virtual ? m_virtual->KeyFor(XKB_KEY_Return) : 0;
    }
    Press(key, true);
    Press(key, false);
}

void CWaylandKeyboardOutput::Beep() {
    if (m_beep) {
        m_beep();
    }
}

std::unique_ptr<IKeyboardLayout> CWaylandKeyboardOutput::LoadCurrentLayout() {
    if (m_strUserKeymap.empty()) {
        return nullptr;
    }
    xkb_keymap* keymap = xkb_keymap_new_from_string(
        m_context, m_strUserKeymap.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        return nullptr;
    }
    auto layout = std::make_unique<CWaylandLayout>(keymap);
    m_sequences = layout->Sequences();
    if (!m_userLayout) {
        m_userLayout = std::make_unique<CWaylandLayout>(keymap);
    }
    xkb_keymap_unref(keymap);
    return layout;
}

Expected<std::unique_ptr<IKeyboardOutput>> CWaylandKeyboard::OpenOutput() {
    Expected<std::unique_ptr<CWaylandSession>> session = CWaylandSession::Open();
    if (!session.ok()) {
        return session.status();
    }
    CWaylandSession& s = *session.value();
    if (s.VirtualKeyboardManager() == nullptr) {
        return Status::Fail(u"The Wayland compositor offers no virtual keyboard.");
    }
    if (s.Seat() == nullptr) {
        return Status::Fail(u"The Wayland compositor has no seat to type on.");
    }
    std::string userKeymap;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!s.SeatKeymap().empty() && !CVirtualKeymap::IsOurs(s.SeatKeymap())) {
            m_strUserKeymap = s.SeatKeymap();
        }
        userKeymap = m_strUserKeymap;
    }
    // Asked before our keyboard exists: the seat has one from the moment it is made.
    const bool seatHadKeyboard = s.SeatHasKeyboard();
    zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        s.VirtualKeyboardManager(), s.Seat());
    // A compositor that does not trust us closes the connection here.
    if (!s.RoundTrip()) {
        zwp_virtual_keyboard_v1_destroy(keyboard);
        return Status::Fail(u"The Wayland compositor refuses a virtual keyboard.");
    }
    return std::unique_ptr<IKeyboardOutput>(std::make_unique<CWaylandKeyboardOutput>(
        std::move(session).value(), keyboard, seatHadKeyboard, std::move(userKeymap), m_pacing,
        m_beep, m_intake.get()));
}

std::unique_ptr<IKeyboard> OpenWaylandKeyboard(std::function<void()> beep,
                                               std::shared_ptr<ITextIntake> intake) {
    if (std::getenv("WAYLAND_DISPLAY") == nullptr) {
        return nullptr;
    }
    Expected<std::unique_ptr<CWaylandSession>> probe = CWaylandSession::Open();
    if (!probe.ok() || probe.value()->VirtualKeyboardManager() == nullptr) {
        return nullptr;
    }
    return std::make_unique<CWaylandKeyboard>(WaylandPacing{}, std::move(beep), std::move(intake));
}

}  // namespace quenby
