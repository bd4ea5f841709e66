#pragma once

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "linux/wayland/WaylandSession.h"
#include "support/ChildProcess.h"

namespace quenby::test {

// Sway and the recorder, started fresh for every test, are up within a few seconds even on a
// loaded machine; anything slower is a failure.
inline constexpr int kSwayStartMs = 20000;

// Waits for the next "TEXT <hex>" line of a recorder and returns the text; false when no line
// comes within `timeoutMs`.
inline bool ReadRecordedText(CChildProcess& recorder, std::string& text, int timeoutMs) {
    std::string line;
    while (recorder.ReadLine(line, timeoutMs)) {
        if (line.rfind("TEXT ", 0) == 0) {
            text = Unhex(line.substr(5));
            return true;
        }
    }
    return false;
}

// Every core kept busy by a loop of its own while the object lives, as on a loaded machine.
class CBusyCores {
public:
    CBusyCores() {
        for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i) {
            m_loops.push_back(std::make_unique<CChildProcess>(
                std::vector<std::string>{"sh", "-c", "while :; do :; done"}));
        }
    }

private:
    std::vector<std::unique_ptr<CChildProcess>> m_loops;
};

// A headless sway of the test's own, with a session bus, runtime folder and environment of its
// own. Sway refuses to run as root: when the test runs as root, sway and every client started
// through Run() run as the user quenby-test (created when missing), which owns the runtime
// folder. This process connects to the compositor's socket by its full path (WAYLAND_DISPLAY is
// set while the object lives); root may use a socket of any owner.
class CHeadlessSway {
public:
    // `extraConfig`: lines added to the compositor's configuration (key bindings, for example).
    explicit CHeadlessSway(const std::string& extraConfig = "") { Start(extraConfig); }
    ~CHeadlessSway() {
        m_sway.reset();
        m_bus.reset();
        ::unsetenv("WAYLAND_DISPLAY");
        if (!m_strRuntimeDir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_strRuntimeDir, ignored);
        }
    }
    CHeadlessSway(const CHeadlessSway&) = delete;
    CHeadlessSway& operator=(const CHeadlessSway&) = delete;

    // Ends the compositor, as when it crashes or the user logs out.
    void Stop() { m_sway.reset(); }

    // Why the compositor is not up, or empty when it is.
    const std::string& Failure() const { return m_strFailure; }
    const std::string& RuntimeDir() const { return m_strRuntimeDir; }
    std::string Home() const { return m_strRuntimeDir + "/home"; }
    // The compositor's process (setpriv and env replace themselves with sway).
    int Pid() const { return m_sway->Pid(); }

    // Starts a program in the session (as the session's user), its standard output read by lines.
    std::unique_ptr<CChildProcess> Run(const std::vector<std::string>& argv,
                                       const std::vector<std::string>& env = {}) const {
        std::vector<std::string> command = Prefix();
        command.push_back("WAYLAND_DISPLAY=" +
                          std::filesystem::path(m_strSocket).filename().string());
        command.insert(command.end(), env.begin(), env.end());
        command.insert(command.end(), argv.begin(), argv.end());
        return std::make_unique<CChildProcess>(command);
    }

    // The session bus's address.
    const std::string& Bus() const { return m_strBus; }

    // Starts the GTK 3 recorder and waits until its window has the focus (and, `accessible`, until
    // it is on the accessibility bus); null when it does not get there in time.
    std::unique_ptr<CChildProcess> StartGtkRecorder(bool accessible = false) const {
        auto recorder =
            Run({"python3", QUENBY_WAYLAND_RECORDER, "gtk"},
                {"GDK_BACKEND=wayland", accessible ? "NO_AT_BRIDGE=0" : "NO_AT_BRIDGE=1"});
        if (!recorder->WaitForLine("READY", kSwayStartMs)) {
            return nullptr;
        }
        std::string reachable = "REACHABLE";
        if (accessible) {
            Run({"python3", QUENBY_WAYLAND_RECORDER, "reachable", std::to_string(recorder->Pid())})
                ->ReadLine(reachable, kSwayStartMs);
        }
        return reachable == "REACHABLE" ? std::move(recorder) : nullptr;
    }

    // Writes a file under the session's home, owned by the session's user, as every folder from
    // the home down is.
    void WriteHomeFile(const std::string& relativePath, const std::string& bytes) const {
        const std::filesystem::path path = std::filesystem::path(Home()) / relativePath;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        for (std::filesystem::path part = path; part.string().size() >= Home().size();
             part = part.parent_path()) {
            (void)::chown(part.c_str(), m_uid, m_gid);
        }
    }

    // Waits until a window with this title is on the screen and has the focus.
    bool WaitForFocusedWindow(const std::string& title, int timeoutMs) const {
        const std::string socket = m_strRuntimeDir + "/sway-ipc." + std::to_string(m_uid) + "." +
                                   std::to_string(Pid()) + ".sock";
        // The command fails while no focused window has that title.
        std::vector<std::string> command = Prefix();
        command.insert(command.end(), {"timeout", "10", "swaymsg", "-s", socket,
                                       "[con_id=__focused__ title=\"^" + title + "$\"] nop"});
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (RunCommand(command) != 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    }

private:
    static constexpr const char* kUser = "quenby-test";

    void Start(const std::string& extraConfig) {
        m_uid = ::getuid();
        m_gid = ::getgid();
        if (m_uid == 0) {
            // A user of the tests' own rather than nobody, which should own no files.
            if (::getpwnam(kUser) == nullptr &&
                RunCommand({"useradd", "--system", "--no-create-home", "--shell",
                            "/usr/sbin/nologin", kUser}) != 0 &&
                ::getpwnam(kUser) == nullptr) {
                m_strFailure = std::string("cannot create the user ") + kUser;
                return;
            }
            const passwd* user = ::getpwnam(kUser);
            m_uid = user->pw_uid;
            m_gid = user->pw_gid;
        }
        char pattern[] = "/tmp/quenby-wayland-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            m_strFailure = "cannot make a runtime folder";
            return;
        }
        m_strRuntimeDir = pattern;
        // One output; no XWayland (nothing here needs it, and it slows the start); no decorations.
        WriteHomeFile(".config/sway-test.conf",
                      "output HEADLESS-1 resolution 1280x800\nxwayland disable\n"
                      "default_border none\nfocus_on_window_activation focus\n" +
                          extraConfig);
        // The runtime folder is private to its user, as a login session's is.
        if (::chown(m_strRuntimeDir.c_str(), m_uid, m_gid) != 0 ||
            ::chmod(m_strRuntimeDir.c_str(), 0700) != 0) {
            m_strFailure = "cannot hand the runtime folder to the session's user";
            return;
        }

        std::vector<std::string> bus = Prefix();
        bus.insert(bus.end(), {"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        m_bus = std::make_unique<CChildProcess>(bus);
        if (!m_bus->ReadLine(m_strBus, kSwayStartMs) || m_strBus.empty()) {
            m_strFailure = "the session bus did not start";
            return;
        }

        std::vector<std::string> sway = Prefix();
        sway.insert(sway.end(),
                    {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                     "sway", "-c", Home() + "/.config/sway-test.conf"});
        m_sway = std::make_unique<CChildProcess>(sway);
        // Up when its socket takes a connection.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kSwayStartMs);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const auto& entry : std::filesystem::directory_iterator(m_strRuntimeDir)) {
                if (entry.path().filename().string().rfind("wayland-", 0) == 0 &&
                    entry.is_socket()) {
                    ::setenv("WAYLAND_DISPLAY", entry.path().c_str(), 1);
                    if (CWaylandSession::Open().ok()) {
                        m_strSocket = entry.path();
                        return;
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_strFailure = "sway did not start (is it installed?)";
    }

    // The command line's start that runs a program as the session's user, in an environment of
    // the session's own: nothing of the test runner's desktop leaks in.
    std::vector<std::string> Prefix() const {
        std::vector<std::string> prefix;
        if (::getuid() == 0) {
            // setpriv replaces itself with the program, so killing the child kills the program.
            prefix = {"setpriv", "--reuid=" + std::to_string(m_uid),
                      "--regid=" + std::to_string(m_gid), "--clear-groups", "--"};
        }
        prefix.insert(prefix.end(), {"env", "-i", "PATH=/usr/bin:/bin", "LANG=C.UTF-8",
                                     "HOME=" + Home(), "XDG_RUNTIME_DIR=" + m_strRuntimeDir});
        if (!m_strBus.empty()) {
            prefix.push_back("DBUS_SESSION_BUS_ADDRESS=" + m_strBus);
        }
        return prefix;
    }

    std::string m_strFailure;
    std::string m_strRuntimeDir;
    std::string m_strSocket;
    std::string m_strBus;
    unsigned m_uid = 0;
    unsigned m_gid = 0;
    std::unique_ptr<CChildProcess> m_bus;
    std::unique_ptr<CChildProcess> m_sway;
};

}  // namespace quenby::test
