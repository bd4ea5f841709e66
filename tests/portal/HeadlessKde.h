#pragma once

#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "linux/wayland/WaylandSession.h"
#include "support/PrivateSession.h"

namespace quenby::test {

// A headless KDE Plasma of its own: KWin on a virtual output, its global shortcuts, the portal
// frontend with KDE's backend, and an accessibility bus, on a session bus of its own. A test run
// as root becomes the user quenby-test first, for good (KWin, like sway, is no program for root,
// and the portal looks into its callers' /proc entries, which it may only do for processes of
// its own user); its process, which holds Quenby's code under test, is then one more of the
// session's programs.
class CHeadlessKde : public CPrivateSession {
public:
    CHeadlessKde() { Start(); }
    ~CHeadlessKde() {
        m_portal.reset();  // the programs end before the folders they use go
        m_backend.reset();
        m_kwin.reset();
    }

    // The first program of the desktop this machine lacks, empty when it has them all.
    static std::string Lacking() {
        return Missing({"/usr/bin/kwin_wayland", KDE_PORTAL_BACKEND, XDG_DESKTOP_PORTAL});
    }
    // Whether the portal sees this process as an application with an id: only then does KDE ask
    // the user before remote control (a process of no application is let through unasked).
    bool Asks() const { return m_bAsks; }

    // Sets the user's only keyboard layout, as System Settings does.
    bool SetLayout(const std::string& layout) const {
        WriteHomeFile(".config/kxkbrc", "[Layout]\nLayoutList=" + layout + "\nUse=true\n");
        return RunCommand({"gdbus", "emit", "--session", "--object-path", "/Layouts", "--signal",
                           "org.kde.keyboard.reloadConfig"}) == 0;
    }

    // Starts KDE's portal backend afresh, as at a new login: its first session is then the first
    // since it started. Up once it has the screen (its dialogs need one: before, it refuses every
    // start) and its name on the bus.
    bool RestartPortalBackend() {
        m_backend.reset();
        m_backend = Run({"sh", "-c", "exec \"$0\" 2>&1", KDE_PORTAL_BACKEND},
                        {"QT_QPA_PLATFORM=wayland", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1",
                         "QT_LOGGING_RULES=xdp-kde-wayland-integration.debug=true"});
        std::string line;
        while (m_backend->ReadLine(line, 30000)) {
            if (line.find("Adding output") != std::string::npos) {
                return WaitForName("org.freedesktop.impl.portal.desktop.kde");
            }
        }
        return false;
    }

private:
    void Start() {
        if (const std::string missing = Lacking(); !missing.empty()) {
            m_strFailure = missing + " is not installed";
            return;
        }
        if (::getuid() == 0) {
            if (!UseSessionUser()) {
                return;
            }
            EnterAppScope(m_uid);
            if (::setgroups(0, nullptr) != 0 || ::setresgid(m_gid, m_gid, m_gid) != 0 ||
                ::setresuid(m_uid, m_uid, m_uid) != 0 || ::prctl(PR_SET_DUMPABLE, 1) != 0) {
                m_strFailure = "cannot become the session's user";
                return;
            }
        }
        m_env = {"XDG_CURRENT_DESKTOP=KDE", "WAYLAND_DISPLAY=wayland-0"};
        if (!MakeRuntimeDir("kde")) {
            return;
        }
        // The packaged KWin carries a file capability (to raise its limits), which a container
        // without that capability refuses to execute: a plain copy runs anywhere.
        std::error_code copied;
        std::filesystem::copy_file("/usr/bin/kwin_wayland", m_strRuntimeDir + "/kwin_wayland",
                                   copied);
        // Only the accessibility bus is started on demand; every other service is started here.
        std::filesystem::create_directories(Home() + "/services");
        std::filesystem::copy_file("/usr/share/dbus-1/services/org.a11y.Bus.service",
                                   Home() + "/services/org.a11y.Bus.service", copied);
        WriteHomeFile(".config/kxkbrc", "[Layout]\nLayoutList=us\nUse=true\n");
        m_bus = StartBus(Home() + "/bus.conf", "unix:dir=" + m_strRuntimeDir, m_strBus,
                         Home() + "/services", Prefix());
        if (!m_bus) {
            m_strFailure = "the session bus did not start";
            return;
        }
        ::setenv("DBUS_SESSION_BUS_ADDRESS", m_strBus.c_str(), 1);
        ::setenv("WAYLAND_DISPLAY", (m_strRuntimeDir + "/wayland-0").c_str(), 1);
        m_kwin = Run({m_strRuntimeDir + "/kwin_wayland", "--virtual", "--no-lockscreen", "--socket",
                      "wayland-0", "--width", "1280", "--height", "800"});
        if (!WaitForName("org.kde.kglobalaccel") || !CWaylandSession::Open().ok()) {
            m_strFailure = "KWin did not start";
            return;
        }
        if (!RestartPortalBackend()) {
            m_strFailure = "KDE's portal backend did not start";
            return;
        }
        m_portal = Run({XDG_DESKTOP_PORTAL});
        if (!WaitForName("org.freedesktop.portal.Desktop")) {
            m_strFailure = "the portal frontend did not start";
        }
    }

    // The portal knows an application by its systemd scope (app-<id>-<n>.scope, as desktops
    // launch programs): this process joins one where the cgroup tree lets it. The scope stays,
    // empty, for the next run.
    void EnterAppScope(uid_t user) {
        const std::string uid = std::to_string(user);
        // The unified hierarchy: beside the others (as here), or alone.
        const std::string root = std::filesystem::exists("/sys/fs/cgroup/unified/cgroup.procs")
                                     ? "/sys/fs/cgroup/unified"
                                     : "/sys/fs/cgroup";
        const std::string scope = root + "/user.slice/user-" + uid + ".slice/user@" + uid +
                                  ".service/app.slice/app-org.quenby.Quenby-test.scope";
        std::error_code made;
        std::filesystem::create_directories(scope, made);
        std::ofstream(scope + "/cgroup.procs") << ::getpid() << std::flush;
        std::ifstream own("/proc/self/cgroup");
        for (std::string line; std::getline(own, line);) {
            m_bAsks = m_bAsks || (line.rfind("0::", 0) == 0 && scope.ends_with(line.substr(3)));
        }
    }

    bool WaitForName(const std::string& name) const {
        return RunCommand({"gdbus", "wait", "--session", "--timeout", "30", name}) == 0;
    }

    bool m_bAsks = false;
    std::unique_ptr<CChildProcess> m_kwin;
    std::unique_ptr<CChildProcess> m_backend;
    std::unique_ptr<CChildProcess> m_portal;
};

}  // namespace quenby::test
