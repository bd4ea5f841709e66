#include "PortalFixture.h"

#include <signal.h>
#include <stdlib.h>

#include <fstream>
#include <thread>

namespace quenby::test {
namespace {

using Clock = std::chrono::steady_clock;

void Write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
}

bool NameOwned(const char* name) {
    return RunCommand({"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus",
                       "--object-path", "/org/freedesktop/DBus", "--method",
                       "org.freedesktop.DBus.GetNameOwner", name}) == 0;
}

}  // namespace

void PortalFixture::StartDesktop(unsigned impl, const std::vector<std::string>& backendFlags) {
    std::string pattern = std::filesystem::temp_directory_path() / "quenby-portal-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
    for (const char* folder : {"home", "services", "portals", "runtime"}) {
        std::filesystem::create_directories(m_root / folder);
    }
    std::filesystem::permissions(m_root / "runtime", std::filesystem::perms::owner_all);
    ::setenv("HOME", (m_root / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_root / "home/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_root / "home/.local/share").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (m_root / "runtime").c_str(), 1);
    // No Wayland: the layout comes from the test, not from whatever compositor runs here.
    ::unsetenv("WAYLAND_DISPLAY");
    // An empty service folder: nothing on this bus starts unless the test starts it, so a
    // missing portal stays missing instead of the system's being activated.
    Write(m_root / "bus.conf",
          "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
          " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
          "<busconfig><type>session</type><listen>unix:dir=" +
              m_root.string() + "</listen><auth>EXTERNAL</auth><servicedir>" +
              (m_root / "services").string() +
              "</servicedir><policy context=\"default\"><allow send_destination=\"*\" "
              "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
              "</busconfig>\n");
    m_bus = std::make_unique<CChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--config-file=" + (m_root / "bus.conf").string(),
                                 "--nofork", "--print-address=1"});
    std::string address;
    ASSERT_TRUE(m_bus->Started() && m_bus->ReadLine(address, 20000) && !address.empty());
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    std::vector<std::string> backend{"/usr/bin/python3", QUENBY_PORTAL_BACKEND, kBackendName};
    backend.insert(backend.end(), backendFlags.begin(), backendFlags.end());
    m_backend = std::make_unique<CChildProcess>(backend);
    // The frontend reads the backend's properties when it starts: the backend comes first.
    ASSERT_TRUE(m_backend->WaitForLine("ready", 20000));
    if (impl == PORTAL_NONE) {
        return;
    }
    std::string interfaces;
    if ((impl & PORTAL_REMOTE_DESKTOP) != 0) {
        interfaces += "org.freedesktop.impl.portal.RemoteDesktop;";
    }
    if ((impl & PORTAL_GLOBAL_SHORTCUTS) != 0) {
        interfaces += "org.freedesktop.impl.portal.GlobalShortcuts;";
    }
    Write(m_root / "portals/quenbytest.portal", std::string("[portal]\nDBusName=") + kBackendName +
                                                    "\nInterfaces=" + interfaces +
                                                    "\nUseIn=quenbytest\n");
    // Set here rather than added to the child's environment: a variable the test runner already
    // has would come first there and win.
    ::setenv("XDG_DESKTOP_PORTAL_DIR", (m_root / "portals").c_str(), 1);
    ::setenv("XDG_CURRENT_DESKTOP", "quenbytest", 1);
    m_frontend = std::make_unique<CChildProcess>(std::vector<std::string>{XDG_DESKTOP_PORTAL});
    ASSERT_TRUE(m_frontend->Started());
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!NameOwned("org.freedesktop.portal.Desktop") && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(NameOwned("org.freedesktop.portal.Desktop")) << "the portal frontend did not start";
}

void PortalFixture::TearDown() {
    m_frontend.reset();
    m_backend.reset();
    m_bus.reset();
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!m_root.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
}

std::vector<std::string> PortalFixture::Lines(const std::string& prefix, std::size_t count,
                                              std::chrono::milliseconds timeout) {
    std::vector<std::string> found;
    const auto deadline = Clock::now() + timeout;
    std::string line;
    while (found.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !m_backend->ReadLine(line, static_cast<int>(left.count()))) {
            break;
        }
        m_seen.push_back(line);
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

bool PortalFixture::WaitFor(const std::string& wanted, std::chrono::milliseconds timeout) {
    const std::vector<std::string> found = Lines(wanted, 1, timeout);
    return !found.empty() && found.front() == wanted;
}

bool PortalFixture::PressShortcut(const std::string& id) {
    std::string output;
    const int status = RunCommand(
        {"gdbus", "call", "--session", "--dest", kBackendName, "--object-path",
         "/org/freedesktop/portal/desktop", "--method", "org.quenby.test.Control.Activate", id},
        &output);
    return status == 0 && output.find("uint32 1") != std::string::npos;
}

}  // namespace quenby::test
