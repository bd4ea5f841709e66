#include "support/SessionBus.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

namespace quenby::test {

CSessionBus::CSessionBus(const std::string& runtimeDir) {
    ::mkdir(runtimeDir.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    m_bus = std::make_unique<CChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"});
    std::string address;
    if (m_bus->Started() && m_bus->ReadLine(address, 20000) && !address.empty()) {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        m_bStarted = true;
    }
}

CSessionBus::~CSessionBus() {
    StopKeyring();
    m_bus.reset();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

bool CSessionBus::StartKeyring() {
    m_keyring = std::make_unique<CChildProcess>(
        std::vector<std::string>{"gnome-keyring-daemon", "--foreground", "--unlock",
                                 "--components=secrets"},
        std::vector<std::string>{}, "test-password");
    if (!m_keyring->Started()) {
        return false;
    }
    // The daemon prints its environment once it serves; wait for the bus name to be taken.
    for (int i = 0; i < 100; ++i) {
        if (RunCommand({"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                        "--object-path", "/org/freedesktop/DBus", "--method",
                        "org.freedesktop.DBus.GetNameOwner", "org.freedesktop.secrets"}) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

void CSessionBus::StopKeyring() {
    if (m_keyring) {
        m_keyring->Signal(SIGTERM);
        m_keyring->Wait();
        m_keyring.reset();
    }
}

}  // namespace quenby::test
