#include "linux/portal/PortalKeyboard.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cstdlib>

#include "linux/IniProfileStore.h"
#include "linux/XdgPaths.h"
#include "linux/portal/PortalBus.h"
#include "linux/wayland/VirtualKeymap.h"
#include "linux/wayland/WaylandLayout.h"
#include "linux/wayland/WaylandSession.h"

namespace quenby {
namespace {

// Evdev numbers keys from 0; XKB, and so the layout the core is given, from 8.
constexpr KeyCode kEvdevOffset = 8;

std::u32string CodePoints(std::u16string_view text) {
    std::u32string points;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            points += static_cast<char32_t>(0x10000 + ((text[i] - 0xD800u) << 10) +
                                            (text[i + 1] - 0xDC00u));
            ++i;
        } else {
            points += static_cast<char32_t>(text[i]);
        }
    }
    return points;
}

}  // namespace

CPortalKeyboardOutput::CPortalKeyboardOutput(std::shared_ptr<CRemoteDesktopSession> session,
                                             std::optional<CLayoutKeysyms> layout,
                                             std::string userKeymap, std::function<void()> beep,
                                             FocusedTextSetter setFocusedText)
    : m_session(std::move(session)),
      m_layout(std::move(layout)),
      m_strUserKeymap(std::move(userKeymap)),
      m_beep(std::move(beep)),
      m_setFocusedText(std::move(setFocusedText)),
      m_keys(LoadCurrentLayout()) {}

CPortalKeyboardOutput::~CPortalKeyboardOutput() {
    // Whatever happened, no key of ours stays down in the user's session.
    ReleaseAll();
}

void CPortalKeyboardOutput::ReleaseAll() {
    while (!m_keysymsDown.empty()) {
        SendKeysym(m_keysymsDown.back(), false);
    }
    while (!m_keysDown.empty()) {
        SendKey(m_keysDown.back(), false);
    }
}

bool CPortalKeyboardOutput::Typeable(std::uint32_t keysym) const {
    // Tab and Return are keys of every keyboard, whatever the keymap says.
    return keysym == XKB_KEY_Return || keysym == XKB_KEY_Tab || !m_layout || m_layout->Has(keysym);
}

std::u32string CPortalKeyboardOutput::MissingCharacters(std::u16string_view text) const {
    std::u32string missing;
    if (!m_layout) {
        return missing;
    }
    for (char32_t point : CodePoints(text)) {
        const xkb_keysym_t keysym = CVirtualKeymap::KeysymFor(point);
        if (keysym != XKB_KEY_NoSymbol && !Typeable(keysym) &&
            missing.find(point) == std::u32string::npos) {
            missing += point;
        }
    }
    return missing;
}

void CPortalKeyboardOutput::BeginUnicodeText(std::u16string_view text) {
    m_surrogates = {};
    m_bTextWasSet = false;
    if (m_setFocusedText && !MissingCharacters(text).empty()) {
        m_bTextWasSet = m_setFocusedText(std::u16string(text));
    }
}

void CPortalKeyboardOutput::EndUnicodeText() {
    ReleaseAll();
    m_bTextWasSet = false;
}

void CPortalKeyboardOutput::SendKeysym(std::uint32_t keysym, bool down) {
    const auto pressed = std::find(m_keysymsDown.begin(), m_keysymsDown.end(), keysym);
    if (down == (pressed != m_keysymsDown.end())) {
        return;  // already in that state
    }
    if (down) {
        m_keysymsDown.push_back(keysym);
    } else {
        m_keysymsDown.erase(pressed);
    }
    m_session->SendKeysym(keysym, down);
}

void CPortalKeyboardOutput::SendUnicodeUnit(char16_t unit, bool down) {
    if (m_bTextWasSet) {
        return;
    }
    const std::optional<char32_t> character = m_surrogates.Join(unit, down);
    if (!character) {
        return;
    }
    const char32_t point = *character;
    const xkb_keysym_t keysym = CVirtualKeymap::KeysymFor(point);
    if (keysym == XKB_KEY_NoSymbol) {
        return;
    }
    if (!Typeable(keysym)) {
        if (down) {
            Beep();
        }
        return;
    }
    // A character on a key of the user's layout goes as that key: the desktop would look the
    // keysym up in a keymap of its own, which KDE Plasma 5.27 loads only after the first keysym
    // of its life, so the first characters came out through a US keymap (Z and Y swapped under
    // German). Others go as keysyms.
    const std::optional<KeyForCharacter> key =
        m_keys && point == unit ? m_keys->FindKey(unit) : std::nullopt;
    if (!key) {
        SendKeysym(keysym, down);
        return;
    }
    constexpr EKeyModifier kModifiers[] = {KEY_MODIFIER_SHIFT, KEY_MODIFIER_LEVEL3,
                                           KEY_MODIFIER_LEVEL5};
    if (!down) {
        SendKey(key->m_key, false);
    }
    for (const EKeyModifier modifier : kModifiers) {
        if ((key->m_modifiers & modifier) != 0) {
            SendKey(m_keys->ModifierKey(modifier), down);
        }
    }
    if (down) {
        SendKey(key->m_key, true);
    }
}

void CPortalKeyboardOutput::SendKey(KeyCode key, bool down) {
    if (key <= kEvdevOffset) {
        return;
    }
    const auto pressed = std::find(m_keysDown.begin(), m_keysDown.end(), key);
    if (down == (pressed != m_keysDown.end())) {
        return;
    }
    if (down) {
        m_keysDown.push_back(key);
    } else {
        m_keysDown.erase(pressed);
    }
    m_session->SendKeycode(key - kEvdevOffset, down);
}

void CPortalKeyboardOutput::PressEnter() {
    SendKeysym(XKB_KEY_Return, true);
    SendKeysym(XKB_KEY_Return, false);
}

Status CPortalKeyboardOutput::SendStatus() {
    if (!m_session->Alive()) {
        return Status::Fail(
            u"The desktop ended Quenby's remote-control session (the permission to send keys was "
            u"withdrawn, or the desktop's portal stopped).");
    }
    return Status::Ok();
}

void CPortalKeyboardOutput::Beep() {
    if (m_beep) {
        m_beep();
    }
}

std::unique_ptr<IKeyboardLayout> CPortalKeyboardOutput::LoadCurrentLayout() {
    if (m_strUserKeymap.empty()) {
        return nullptr;
    }
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_string(
        context, m_strUserKeymap.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    if (keymap == nullptr) {
        return nullptr;
    }
    auto layout = std::make_unique<CWaylandLayout>(keymap);
    xkb_keymap_unref(keymap);
    return layout;
}

CPortalKeyboard::CPortalKeyboard(std::shared_ptr<CPortalBus> bus,
                                 std::function<std::string()> readUserKeymap,
                                 std::function<void()> beep, FocusedTextSetter setFocusedText,
                                 std::shared_ptr<IProfileStore> profile, PortalWaits waits)
    : m_bus(std::move(bus)),
      m_readUserKeymap(std::move(readUserKeymap)),
      m_beep(std::move(beep)),
      m_setFocusedText(std::move(setFocusedText)),
      m_profile(std::move(profile)),
      m_waits(waits) {}

Expected<std::unique_ptr<IKeyboardOutput>> CPortalKeyboard::OpenOutput() {
    std::shared_ptr<CRemoteDesktopSession> session;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_session || !m_session->Alive()) {
            m_session.reset();  // closes a dead one before asking again
            Expected<std::unique_ptr<CRemoteDesktopSession>> started =
                CRemoteDesktopSession::Start(m_bus, m_waits, m_profile.get());
            if (!started.ok()) {
                return started.status();
            }
            m_session = std::move(started).value();
        }
        session = m_session;
    }
    std::string keymap = m_readUserKeymap ? m_readUserKeymap() : std::string();
    std::optional<CLayoutKeysyms> layout =
        keymap.empty() ? std::nullopt : CLayoutKeysyms::FromKeymap(keymap);
    return std::unique_ptr<IKeyboardOutput>(std::make_unique<CPortalKeyboardOutput>(
        std::move(session), std::move(layout), std::move(keymap), m_beep, m_setFocusedText));
}

std::string ReadWaylandUserKeymap() {
    if (std::getenv("WAYLAND_DISPLAY") == nullptr) {
        return {};
    }
    Expected<std::unique_ptr<CWaylandSession>> session = CWaylandSession::Open();
    if (!session.ok() || CVirtualKeymap::IsOurs(session.value()->SeatKeymap())) {
        return {};
    }
    return session.value()->SeatKeymap();
}

bool RemoteDesktopPortalAvailable() {
    const std::shared_ptr<CPortalBus> bus = CPortalBus::Connect();
    return bus &&
           bus->InterfaceVersion("org.freedesktop.portal.RemoteDesktop", PortalWaits{}.m_call) != 0;
}

std::unique_ptr<IKeyboard> OpenPortalKeyboard(std::function<void()> beep,
                                              FocusedTextSetter setFocusedText) {
    std::shared_ptr<CPortalBus> bus = CPortalBus::Connect();
    if (!bus ||
        bus->InterfaceVersion("org.freedesktop.portal.RemoteDesktop", PortalWaits{}.m_call) == 0) {
        return nullptr;
    }
    // A profile store of the typing thread's own: each of its reads and writes goes to the file.
    return std::make_unique<CPortalKeyboard>(std::move(bus), ReadWaylandUserKeymap, std::move(beep),
                                             std::move(setFocusedText),
                                             std::make_shared<CIniProfileStore>(ProfileFilePath()));
}

}  // namespace quenby
