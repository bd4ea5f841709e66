#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/Outcome.h"

namespace quenby {

class CPortalBus;

// How long the portal's steps may take.
struct PortalWaits {
    // One call the portal answers at once (it may first have to be started by the bus).
    std::chrono::milliseconds m_call{5000};
    // The user's answer in the desktop's consent dialog: generous, as people read it, but
    // finite, so a dialog nobody sees cannot hold the typing thread for ever.
    std::chrono::milliseconds m_consent{120000};
};

// A RemoteDesktop portal session with a keyboard, which the user has allowed. Keys go to the
// focused application as keysyms (the desktop finds the key and the Shift state in the user's
// layout) or as keycodes. Closed when destroyed.
class CRemoteDesktopSession {
public:
    // Creates a session, selects the keyboard and asks the user's consent; fails with a reason
    // the user can read (no portal, refused, no answer, no keyboard granted).
    static Expected<std::unique_ptr<CRemoteDesktopSession>> Start(std::shared_ptr<CPortalBus> bus,
                                                                  PortalWaits waits);
    ~CRemoteDesktopSession();
    CRemoteDesktopSession(const CRemoteDesktopSession&) = delete;
    CRemoteDesktopSession& operator=(const CRemoteDesktopSession&) = delete;

    // False once the desktop closed the session (the user revoked it) or a key was refused.
    bool Alive() const { return m_bAlive->load(); }
    // Presses or releases the key of an X keysym in the user's layout; false when refused.
    bool SendKeysym(std::uint32_t keysym, bool down);
    // Presses or releases a key by its evdev code; false when refused.
    bool SendKeycode(std::uint32_t evdevCode, bool down);

private:
    CRemoteDesktopSession(std::shared_ptr<CPortalBus> bus, std::string path, PortalWaits waits);
    bool Notify(const char* method, std::uint32_t value, bool down);

    std::shared_ptr<CPortalBus> m_bus;
    std::string m_strPath;
    PortalWaits m_waits;
    // Shared with the Closed handler, which may outlive this object by a moment.
    std::shared_ptr<std::atomic<bool>> m_bAlive = std::make_shared<std::atomic<bool>>(true);
    unsigned m_uClosedSubscription = 0;
};

}  // namespace quenby
