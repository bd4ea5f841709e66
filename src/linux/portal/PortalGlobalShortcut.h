#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "linux/portal/RemoteDesktopSession.h"
#include "platform/GlobalShortcut.h"

namespace quenby {

class CPortalBus;

// The start/stop combination through the desktop's GlobalShortcuts portal: a session holding
// one shortcut, with the profile's combination as its preferred trigger. The desktop may show a
// dialog where the user confirms or changes the trigger; presses come as Activated signals.
// Registering again closes the old session first: version 1 of the portal cannot unbind.
class CPortalGlobalShortcut final : public IGlobalShortcut {
public:
    // `onPressed` runs on the portal's bus thread: the caller hands it on to the UI thread.
    // `waits.m_consent` bounds the wait for the desktop's dialog, during which the calling
    // thread is blocked.
    CPortalGlobalShortcut(std::shared_ptr<CPortalBus> bus, std::function<void()> onPressed,
                          PortalWaits waits = {});
    ~CPortalGlobalShortcut() override;
    CPortalGlobalShortcut(const CPortalGlobalShortcut&) = delete;
    CPortalGlobalShortcut& operator=(const CPortalGlobalShortcut&) = delete;

    bool RegisterHotKey(std::uint16_t virtualKey, std::uint16_t modifiers) override;
    void UnregisterHotKey() override;

    // The shortcut's identifier within our session, as the desktop lists it.
    static constexpr const char* kShortcutId = "start-stop";
    // Our session's handle token, the same at every start (see RegisterHotKey).
    static constexpr const char* kSessionToken = "quenby_start_stop";

private:
    // Ends the subscription and closes the session; called with the mutex held.
    void CloseSession();

    std::shared_ptr<CPortalBus> m_bus;
    std::shared_ptr<std::function<void()>> m_onPressed;
    PortalWaits m_waits;
    std::mutex m_mutex;  // guards the session below
    std::string m_strSession;
    unsigned m_uActivated = 0;
};

// Whether the desktop offers the GlobalShortcuts portal (else the user binds a key to
// `quenby --toggle` in the desktop's settings). Cheap: asks the portal's version only.
bool GlobalShortcutsPortalAvailable();

// The portal's global shortcut when the desktop offers it; null otherwise.
std::unique_ptr<IGlobalShortcut> OpenPortalGlobalShortcut(std::function<void()> onPressed);

}  // namespace quenby
