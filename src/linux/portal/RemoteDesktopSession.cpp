#include "linux/portal/RemoteDesktopSession.h"

#include <thread>

#include "linux/portal/PortalBus.h"

namespace quenby {
namespace {

constexpr const char* kRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr std::uint32_t kKeyboardDevice = 1;
// Keep the consent until the user revokes it in the desktop's settings.
constexpr std::uint32_t kPersistUntilRevoked = 2;
constexpr std::uint32_t kFirstKeysym = 0xffe1;  // Shift_L

Status Failure(const PortalResponse& response, const char* step) {
    switch (response.m_answer) {
        case EPortalAnswer::Refused:
            return Status::Fail(
                u"Typing into other applications was not allowed. Start again and allow "
                u"Quenby to control the keyboard when the desktop asks.");
        case EPortalAnswer::NoAnswer:
            return Status::Fail(
                u"The desktop did not answer whether Quenby may control the keyboard within "
                u"2 minutes. Start again and answer the desktop's question.");
        case EPortalAnswer::Failed:
            return Status::Fail(u"The desktop refused to let Quenby control the keyboard.");
        case EPortalAnswer::Granted:
        case EPortalAnswer::CallFailed:
            break;
    }
    std::u16string reason = u"The desktop's remote desktop service failed (";
    for (const char* c = step; *c != '\0'; ++c) {
        reason += static_cast<char16_t>(*c);
    }
    return Status::Fail(reason + u"). Quenby cannot type here.");
}

}  // namespace

CRemoteDesktopSession::CRemoteDesktopSession(std::shared_ptr<CPortalBus> bus, std::string path,
                                             PortalWaits waits)
    : m_bus(std::move(bus)), m_strPath(std::move(path)), m_waits(waits) {
    m_uClosedSubscription = m_bus->Subscribe(kSessionInterface, "Closed", m_strPath.c_str(),
                                             [alive = m_bAlive](GVariant*) { *alive = false; });
}

CRemoteDesktopSession::~CRemoteDesktopSession() {
    m_bus->Unsubscribe(m_uClosedSubscription);
    if (m_bAlive->load()) {
        m_bus->CallAt(m_strPath.c_str(), kSessionInterface, "Close", nullptr, m_waits.m_call);
    }
}

Expected<std::unique_ptr<CRemoteDesktopSession>> CRemoteDesktopSession::Start(
    std::shared_ptr<CPortalBus> bus, PortalWaits waits, IProfileStore* profile) {
    const std::uint32_t version = bus ? bus->InterfaceVersion(kRemoteDesktop, waits.m_call) : 0;
    if (version == 0) {
        return Status::Fail(
            u"This desktop offers no remote desktop portal, so Quenby cannot type here.");
    }
    // From version 2 the user's consent can be kept: the desktop hands out a token at each
    // start, which spares the question at the next one, once.
    const bool persist = version >= 2 && profile != nullptr;
    std::string restoreToken;
    if (persist) {
        restoreToken = profile->GetString(kProfileSection, kRestoreTokenName).value_or("");
    }
    StartResult result = StartOnce(bus, waits, persist, restoreToken);
    if (!result.m_session.ok() && !restoreToken.empty() &&
        (result.m_answer == EPortalAnswer::Failed ||
         result.m_answer == EPortalAnswer::CallFailed)) {
        // A desktop may fail a start with a token it no longer honours: ask the user instead.
        result = StartOnce(bus, waits, persist, {});
    }
    if (persist) {
        // Whatever happened, the old token is used up; an empty one is read as none.
        profile->WriteString(kProfileSection, kRestoreTokenName, result.m_strNewToken);
    }
    return std::move(result.m_session);
}

CRemoteDesktopSession::StartResult CRemoteDesktopSession::StartOnce(
    const std::shared_ptr<CPortalBus>& bus, PortalWaits waits, bool persist,
    const std::string& restoreToken) {
    const std::string sessionToken = bus->NewToken();
    PortalResponse created = bus->Request(
        kRemoteDesktop, "CreateSession",
        [&](const char* token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "session_handle_token",
                                  g_variant_new_string(sessionToken.c_str()));
            return g_variant_new("(@a{sv})", OptionsWithToken(token, &options));
        },
        waits.m_call, waits.m_call);
    const gchar* handle = nullptr;
    if (created.m_answer != EPortalAnswer::Granted ||
        !g_variant_lookup(created.m_results.get(), "session_handle", "&s", &handle)) {
        return {Failure(created, "no session"), created.m_answer, {}};
    }
    // From here the session closes with the object, whatever happens next.
    std::unique_ptr<CRemoteDesktopSession> session(new CRemoteDesktopSession(bus, handle, waits));
    PortalResponse selected = bus->Request(
        kRemoteDesktop, "SelectDevices",
        [&](const char* token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "types", g_variant_new_uint32(kKeyboardDevice));
            if (persist) {
                g_variant_builder_add(&options, "{sv}", "persist_mode",
                                      g_variant_new_uint32(kPersistUntilRevoked));
                if (!restoreToken.empty()) {
                    g_variant_builder_add(&options, "{sv}", "restore_token",
                                          g_variant_new_string(restoreToken.c_str()));
                }
            }
            return g_variant_new("(o@a{sv})", session->m_strPath.c_str(),
                                 OptionsWithToken(token, &options));
        },
        waits.m_call, waits.m_call);
    if (selected.m_answer != EPortalAnswer::Granted) {
        return {Failure(selected, "no keyboard"), selected.m_answer, {}};
    }
    // The desktop asks the user now; no parent window: a Wayland window has no global name.
    PortalResponse started = bus->Request(
        kRemoteDesktop, "Start",
        [&](const char* token) {
            return g_variant_new("(os@a{sv})", session->m_strPath.c_str(), "",
                                 OptionsWithToken(token));
        },
        waits.m_call, waits.m_consent);
    if (started.m_answer != EPortalAnswer::Granted) {
        return {Failure(started, "not started"), started.m_answer, {}};
    }
    std::uint32_t devices = 0;
    if (!g_variant_lookup(started.m_results.get(), "devices", "u", &devices) ||
        (devices & kKeyboardDevice) == 0) {
        return {Status::Fail(u"The desktop allowed remote control without the keyboard, so "
                             u"Quenby cannot type. Start again and allow the keyboard."),
                EPortalAnswer::Granted,
                {}};
    }
    // KDE Plasma 5.27 fetches the user's keymap only when it is first given a keysym, and maps
    // keysyms through a US keymap until it has come: the first key is therefore one that means
    // the same in every layout and types nothing, Shift pressed and released. (That alone does
    // not always win the race: the text goes as the layout's keys where it can.)
    if (!session->SendKeysym(kFirstKeysym, true) || !session->SendKeysym(kFirstKeysym, false)) {
        return {Failure({}, "no first key"), EPortalAnswer::CallFailed, {}};
    }
    std::this_thread::sleep_for(waits.m_settle);
    const gchar* newToken = nullptr;
    std::string kept;
    if (g_variant_lookup(started.m_results.get(), "restore_token", "&s", &newToken)) {
        kept = newToken;
    }
    return {std::move(session), EPortalAnswer::Granted, std::move(kept)};
}

bool CRemoteDesktopSession::Notify(const char* method, std::uint32_t value, bool down) {
    if (!Alive()) {
        return false;
    }
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    // Waited for, one by one: the portal then sees the keys in the order they were sent.
    const VariantPtr reply =
        m_bus->Call(kRemoteDesktop, method,
                    g_variant_new("(oa{sv}iu)", m_strPath.c_str(), &options,
                                  static_cast<std::int32_t>(value), down ? 1u : 0u),
                    m_waits.m_call);
    if (!reply) {
        *m_bAlive = false;
    }
    return static_cast<bool>(reply);
}

bool CRemoteDesktopSession::SendKeysym(std::uint32_t keysym, bool down) {
    return Notify("NotifyKeyboardKeysym", keysym, down);
}

bool CRemoteDesktopSession::SendKeycode(std::uint32_t evdevCode, bool down) {
    return Notify("NotifyKeyboardKeycode", evdevCode, down);
}

}  // namespace quenby
