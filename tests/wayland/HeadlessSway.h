#pragma once

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "linux/wayland/WaylandSession.h"
#include "support/PrivateSession.h"

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
class CHeadlessSway : public CPrivateSession {
public:
    // `extraConfig`: lines added to the compositor's configuration (key bindings, for example).
    explicit CHeadlessSway(const std::string& extraConfig = "") { Start(extraConfig); }
    ~CHeadlessSway() {
        m_sway.reset();
        ::unsetenv("WAYLAND_DISPLAY");
    }

    // Ends the compositor, as when it crashes or the user logs out.
    void Stop() { m_sway.reset(); }

    // The compositor's process (setpriv and env replace themselves with sway).
    int Pid() const { return m_sway->Pid(); }

    // Starts the GTK 3 recorder (its text view, or the window `mode` names) and waits until its
    // window has the focus (and, `accessible`, until it is on the accessibility bus: before that,
    // a run would find no field and would not know the window); null when it does not get there
    // in time.
    std::unique_ptr<CChildProcess> StartGtkRecorder(bool accessible = false,
                                                    const std::vector<std::string>& mode = {
                                                        "gtk"}) const {
        std::vector<std::string> argv = {"python3", QUENBY_WAYLAND_RECORDER};
        argv.insert(argv.end(), mode.begin(), mode.end());
        auto recorder =
            Run(argv, {"GDK_BACKEND=wayland", accessible ? "NO_AT_BRIDGE=0" : "NO_AT_BRIDGE=1"});
        if (!recorder->WaitForLine("READY", kSwayStartMs)) {
            return nullptr;
        }
        std::string reachable = accessible ? "" : "REACHABLE";  // a timeout leaves it empty
        if (accessible) {
            Run({"python3", QUENBY_WAYLAND_RECORDER, "reachable", std::to_string(recorder->Pid())})
                ->ReadLine(reachable, kSwayStartMs);
        }
        return reachable == "REACHABLE" ? std::move(recorder) : nullptr;
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
    void Start(const std::string& extraConfig) {
        if ((m_uid == 0 && !UseSessionUser()) || !MakeRuntimeDir("wayland")) {
            return;
        }
        // One output; no XWayland (nothing here needs it, and it slows the start); no decorations.
        WriteHomeFile(".config/sway-test.conf",
                      "output HEADLESS-1 resolution 1280x800\nxwayland disable\n"
                      "default_border none\nfocus_on_window_activation focus\n" +
                          extraConfig);
        m_bus = Run({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        if (!m_bus->ReadLine(m_strBus, kSwayStartMs) || m_strBus.empty()) {
            m_strFailure = "the session bus did not start";
            return;
        }

        m_sway = Run({"sway", "-c", Home() + "/.config/sway-test.conf"},
                     {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"});
        // Up when its socket takes a connection.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kSwayStartMs);
        while (std::chrono::steady_clock::now() < deadline) {
            for (const auto& entry : std::filesystem::directory_iterator(m_strRuntimeDir)) {
                if (entry.path().filename().string().rfind("wayland-", 0) == 0 &&
                    entry.is_socket()) {
                    ::setenv("WAYLAND_DISPLAY", entry.path().c_str(), 1);
                    if (CWaylandSession::Open().ok()) {
                        m_env.push_back("WAYLAND_DISPLAY=" + entry.path().filename().string());
                        return;
                    }
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_strFailure = "sway did not start (is it installed?)";
    }

    std::unique_ptr<CChildProcess> m_sway;
};

}  // namespace quenby::test
