#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/Outcome.h"
#include "platform/ProfileStore.h"

namespace quenby {

class CPortalBus;
enum class EPortalAnswer;

// How long the portal's steps may take.
struct PortalWaits {
    // One call the portal answers at once (it may first have to be started by the bus).
    std::chrono::milliseconds m_call{5000};
    // The user's answer in the desktop's consent dialog: generous, as people read it, but
    // finite, so a dialog nobody sees cannot hold the typing thread for ever.
    std::chrono::milliseconds m_consent{120000};
    // From the start of a session to its first character: the desktop is not ready at once and
    // tells nobody when it is. GNOME gives the focus back to the user's window only after its
    // dialog has gone, and KDE's portal maps keys through a US keymap until it has the user's;
    // keys sent sooner go nowhere or come out wrong.
    std::chrono::milliseconds m_settle{1000};
};

// A RemoteDesktop portal session with a keyboard, which the user has allowed. Keys go to the
// focused application as keysyms (the desktop finds the key and the Shift state in the user's
// layout) or as keycodes. Closed when destroyed.
class CRemoteDesktopSession {
public:
    // Creates a session, selects the keyboard and asks the user's consent; fails with a reason
    // the user can read (no portal, refused, no answer, no keyboard granted). Where the portal
    // can keep the consent (version 2 and later), `profile` (may be null) holds the token that
    // spares the next question; a token the desktop fails is dropped and the user asked.
    static Expected<std::unique_ptr<CRemoteDesktopSession>> Start(std::shared_ptr<CPortalBus> bus,
                                                                  PortalWaits waits,
                                                                  IProfileStore* profile = nullptr);

    // The profile value that keeps the desktop's restore token.
    static constexpr std::string_view kRestoreTokenName = "RemoteDesktopRestoreToken";
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
    struct StartResult {
        Expected<std::unique_ptr<CRemoteDesktopSession>> m_session;
        EPortalAnswer m_answer;     // how the step that ended the start was answered
        std::string m_strNewToken;  // the desktop's token for the next start, if any
    };
    // One try: a session, the keyboard (kept when `persist`, restored with `restoreToken` when
    // not empty) and the start.
    static StartResult StartOnce(const std::shared_ptr<CPortalBus>& bus, PortalWaits waits,
                                 bool persist, const std::string& restoreToken);
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
