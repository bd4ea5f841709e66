#include "linux/portal/RemoteDesktopSession.h"

#include "linux/portal/PortalBus.h"

namespace quenby {
namespace {

constexpr const char* kRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr std::uint32_t kKeyboardDevice = 1;

GVariant* OptionsWithToken(const char* token, GVariantBuilder* builder) {
    g_variant_builder_add(builder, "{sv}", "handle_token", g_variant_new_string(token));
    return g_variant_builder_end(builder);
}

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
    std::shared_ptr<CPortalBus> bus, PortalWaits waits) {
    if (!bus || bus->InterfaceVersion(kRemoteDesktop, waits.m_call) == 0) {
        return Status::Fail(
            u"This desktop offers no remote desktop portal, so Quenby cannot type here.");
    }
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
        return Failure(created, "no session");
    }
    // From here the session closes with the object, whatever happens next.
    std::unique_ptr<CRemoteDesktopSession> session(new CRemoteDesktopSession(bus, handle, waits));
    PortalResponse selected = bus->Request(
        kRemoteDesktop, "SelectDevices",
        [&](const char* token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "types", g_variant_new_uint32(kKeyboardDevice));
            return g_variant_new("(o@a{sv})", session->m_strPath.c_str(),
                                 OptionsWithToken(token, &options));
        },
        waits.m_call, waits.m_call);
    if (selected.m_answer != EPortalAnswer::Granted) {
        return Failure(selected, "no keyboard");
    }
    // The desktop asks the user now; no parent window: a Wayland window has no global name.
    PortalResponse started = bus->Request(
        kRemoteDesktop, "Start",
        [&](const char* token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            return g_variant_new("(os@a{sv})", session->m_strPath.c_str(), "",
                                 OptionsWithToken(token, &options));
        },
        waits.m_call, waits.m_consent);
    if (started.m_answer != EPortalAnswer::Granted) {
        return Failure(started, "not started");
    }
    std::uint32_t devices = 0;
    if (!g_variant_lookup(started.m_results.get(), "devices", "u", &devices) ||
        (devices & kKeyboardDevice) == 0) {
        return Status::Fail(
            u"The desktop allowed remote control without the keyboard, so Quenby cannot type. "
            u"Start again and allow the keyboard.");
    }
    return session;
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
