#pragma once

#include <memory>
#include <string>

#include "support/ChildProcess.h"

namespace quenby::test {

// A D-Bus session bus of the test's own (as dbus-run-session would give), optionally with an
// unlocked login keyring serving the Secret Service. Sets DBUS_SESSION_BUS_ADDRESS while it lives.
class CSessionBus {
public:
    // `runtimeDir` becomes XDG_RUNTIME_DIR (the keyring's control socket lives there).
    explicit CSessionBus(const std::string& runtimeDir);
    ~CSessionBus();
    bool Started() const { return m_bStarted; }
    // Starts gnome-keyring-daemon with its secrets component, unlocked with a test password.
    bool StartKeyring();
    // Stops the keyring daemon (the Secret Service goes away, the bus stays).
    void StopKeyring();

private:
    std::unique_ptr<CChildProcess> m_bus;
    std::unique_ptr<CChildProcess> m_keyring;
    bool m_bStarted = false;
};

}  // namespace quenby::test
