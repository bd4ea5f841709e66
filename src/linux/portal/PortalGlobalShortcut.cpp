#include "linux/portal/PortalGlobalShortcut.h"

#include <cstring>

#include "linux/portal/PortalBus.h"
#include "linux/portal/ShortcutTrigger.h"

namespace quenby {
namespace {

constexpr const char* kGlobalShortcuts = "org.freedesktop.portal.GlobalShortcuts";

// Whether a list of shortcuts (the "shortcuts" of a Response) has ours: a desktop may answer
// "done" with the shortcut left out (the user removed it in its dialog).
bool Bound(GVariant* results) {
    GVariant* shortcuts = nullptr;
    if (results == nullptr || !g_variant_lookup(results, "shortcuts", "@a(sa{sv})", &shortcuts)) {
        return false;
    }
    VariantPtr held(shortcuts);
    GVariantIter iter;
    g_variant_iter_init(&iter, shortcuts);
    const gchar* id = nullptr;
    GVariant* properties = nullptr;
    bool found = false;
    while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &properties)) {
        found = found || std::strcmp(id, CPortalGlobalShortcut::kShortcutId) == 0;
        g_variant_unref(properties);
    }
    return found;
}

// Our one shortcut with the combination as its preferred trigger, as CreateSession's options and
// BindShortcuts take it.
GVariant* ShortcutList(const std::string& trigger) {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&properties, "{sv}", "description",
                          g_variant_new_string("Start or stop typing the messages"));
    g_variant_builder_add(&properties, "{sv}", "preferred_trigger",
                          g_variant_new_string(trigger.c_str()));
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    g_variant_builder_add(&shortcuts, "(sa{sv})", CPortalGlobalShortcut::kShortcutId, &properties);
    return g_variant_builder_end(&shortcuts);
}

}  // namespace

CPortalGlobalShortcut::CPortalGlobalShortcut(std::shared_ptr<CPortalBus> bus,
                                             std::function<void()> onPressed, PortalWaits waits)
    : m_bus(std::move(bus)),
      m_onPressed(std::make_shared<std::function<void()>>(std::move(onPressed))),
      m_waits(waits) {}

CPortalGlobalShortcut::~CPortalGlobalShortcut() {
    UnregisterHotKey();
}

bool CPortalGlobalShortcut::RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) {
    UnregisterHotKey();
    const std::optional<std::string> trigger = XdgShortcutTrigger(virtualKey, modifiers);
    if (!trigger || !m_bus || m_bus->InterfaceVersion(kGlobalShortcuts, m_waits.m_call) == 0) {
        return false;
    }
    // The shortcut goes into CreateSession too: KDE Plasma 5.27 binds only what comes there and
    // answers BindShortcuts with an empty list. It names the shortcut's component after the
    // session's token, which therefore stays the same across starts: the user's changes to the
    // shortcut in the desktop's settings are then kept.
    PortalResponse created = m_bus->Request(
        kGlobalShortcuts, "CreateSession",
        [&](const char* token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "session_handle_token",
                                  g_variant_new_string(kSessionToken));
            g_variant_builder_add(&options, "{sv}", "shortcuts", ShortcutList(*trigger));
            return g_variant_new("(@a{sv})", OptionsWithToken(token, &options));
        },
        m_waits.m_call, m_waits.m_call);
    const gchar* handle = nullptr;
    if (created.m_answer != EPortalAnswer::Granted ||
        !g_variant_lookup(created.m_results.get(), "session_handle", "&s", &handle)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strSession = handle;
    // Listened to before binding: the user may press the combination as soon as it is bound.
    m_uActivated =
        m_bus->Subscribe(kGlobalShortcuts, "Activated", kPortalPath,
                         [session = m_strSession, onPressed = m_onPressed](GVariant* args) {
                             const gchar* path = nullptr;
                             const gchar* id = nullptr;
                             if (g_variant_is_of_type(args, G_VARIANT_TYPE("(osta{sv})"))) {
                                 g_variant_get(args, "(&o&sta{sv})", &path, &id, nullptr, nullptr);
                             }
                             if (path != nullptr && session == path &&
                                 std::strcmp(id, kShortcutId) == 0 && *onPressed) {
                                 (*onPressed)();
                             }
                         });
    // Other desktops bind here, and may ask the user first.
    PortalResponse bound = m_bus->Request(
        kGlobalShortcuts, "BindShortcuts",
        [&](const char* token) {
            return g_variant_new("(o@a(sa{sv})s@a{sv})", m_strSession.c_str(),
                                 ShortcutList(*trigger), "", OptionsWithToken(token));
        },
        m_waits.m_call, m_waits.m_consent);
    bool isBound = bound.m_answer == EPortalAnswer::Granted && Bound(bound.m_results.get());
    if (bound.m_answer == EPortalAnswer::Granted && !isBound) {
        // Not in BindShortcuts' answer: bound at CreateSession, if the session's list has it.
        PortalResponse listed = m_bus->Request(
            kGlobalShortcuts, "ListShortcuts",
            [&](const char* token) {
                return g_variant_new("(o@a{sv})", m_strSession.c_str(), OptionsWithToken(token));
            },
            m_waits.m_call, m_waits.m_call);
        isBound = listed.m_answer == EPortalAnswer::Granted && Bound(listed.m_results.get());
    }
    if (!isBound) {
        CloseSession();
        return false;
    }
    return true;
}

void CPortalGlobalShortcut::UnregisterHotKey() {
    std::lock_guard<std::mutex> lock(m_mutex);
    CloseSession();
}

void CPortalGlobalShortcut::CloseSession() {
    if (m_uActivated != 0) {
        m_bus->Unsubscribe(m_uActivated);
        m_uActivated = 0;
    }
    if (!m_strSession.empty()) {
        m_bus->CallAt(m_strSession.c_str(), kSessionInterface, "Close", nullptr, m_waits.m_call);
        m_strSession.clear();
    }
}

bool GlobalShortcutsPortalAvailable() {
    const std::shared_ptr<CPortalBus> bus = CPortalBus::Connect();
    return bus && bus->InterfaceVersion(kGlobalShortcuts, PortalWaits{}.m_call) != 0;
}

std::unique_ptr<IGlobalShortcut> OpenPortalGlobalShortcut(std::function<void()> onPressed) {
    std::shared_ptr<CPortalBus> bus = CPortalBus::Connect();
    if (!bus || bus->InterfaceVersion(kGlobalShortcuts, PortalWaits{}.m_call) == 0) {
        return nullptr;
    }
    return std::make_unique<CPortalGlobalShortcut>(std::move(bus), std::move(onPressed));
}

}  // namespace quenby
