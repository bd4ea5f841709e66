#include "wayland/HeadlessSway.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "linux/wayland/WaylandSession.h"

namespace quenby::test {
namespace {

using Clock = std::chrono::steady_clock;

// Sway and the recorder, started fresh for every test, are up within a few seconds even on a
// loaded machine; anything slower is a failure.
constexpr int kStartMs = 20000;
// The unprivileged user the session runs as when the test runs as root: one every system has.
constexpr const char* kUser = "nobody";

int MillisecondsUntil(Clock::time_point deadline) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

}  // namespace

CHeadlessSway::CHeadlessSway(const std::string& extraConfig) {
    Start(extraConfig);
}

CHeadlessSway::~CHeadlessSway() {
    m_sway.reset();
    m_bus.reset();
    ::unsetenv("WAYLAND_DISPLAY");
    if (!m_strRuntimeDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_strRuntimeDir, ignored);
    }
}

std::vector<std::string> CHeadlessSway::Prefix() const {
    std::vector<std::string> prefix;
    if (m_bAsOtherUser) {
        // setpriv replaces itself with the program, so killing the child kills the program.
        prefix = {"setpriv", "--reuid=" + std::to_string(m_uid), "--regid=" + std::to_string(m_gid),
                  "--clear-groups", "--"};
    }
    // An environment of the session's own: nothing of the test runner's desktop leaks in.
    prefix.insert(prefix.end(), {"env", "-i", "PATH=/usr/bin:/bin", "LANG=C.UTF-8",
                                 "HOME=" + Home(), "XDG_RUNTIME_DIR=" + m_strRuntimeDir});
    if (!m_strBus.empty()) {
        prefix.push_back("DBUS_SESSION_BUS_ADDRESS=" + m_strBus);
    }
    return prefix;
}

void CHeadlessSway::Start(const std::string& extraConfig) {
    m_uid = ::getuid();
    m_gid = ::getgid();
    if (m_uid == 0) {
        const passwd* user = ::getpwnam(kUser);
        if (user == nullptr) {
            m_strFailure = std::string("no user ") + kUser;
            return;
        }
        m_uid = user->pw_uid;
        m_gid = user->pw_gid;
        m_bAsOtherUser = true;
    }
    char pattern[] = "/tmp/quenby-wayland-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        m_strFailure = "cannot make a runtime folder";
        return;
    }
    m_strRuntimeDir = pattern;
    const std::string config = Home() + "/.config/sway-test.conf";
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
    if (!m_bus->ReadLine(m_strBus, kStartMs) || m_strBus.empty()) {
        m_strFailure = "the session bus did not start";
        return;
    }

    std::vector<std::string> sway = Prefix();
    sway.insert(sway.end(), {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                             "WLR_RENDERER=pixman", "sway", "-c", config});
    m_sway = std::make_unique<CChildProcess>(sway);
    // Up when its socket takes a connection.
    const auto deadline = Clock::now() + std::chrono::milliseconds(kStartMs);
    while (Clock::now() < deadline) {
        for (const auto& entry : std::filesystem::directory_iterator(m_strRuntimeDir)) {
            if (entry.path().filename().string().rfind("wayland-", 0) == 0 && entry.is_socket()) {
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
    return;
}

std::unique_ptr<CChildProcess> CHeadlessSway::Run(const std::vector<std::string>& argv,
                                                  const std::vector<std::string>& env) const {
    std::vector<std::string> command = Prefix();
    command.push_back("WAYLAND_DISPLAY=" + std::filesystem::path(m_strSocket).filename().string());
    command.insert(command.end(), env.begin(), env.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return std::make_unique<CChildProcess>(command);
}

std::unique_ptr<CChildProcess> CHeadlessSway::StartGtkRecorder() const {
    auto recorder =
        Run({"python3", QUENBY_WAYLAND_RECORDER, "gtk"}, {"GDK_BACKEND=wayland", "NO_AT_BRIDGE=1"});
    return recorder->WaitForLine("READY", kStartMs) ? std::move(recorder) : nullptr;
}

void CHeadlessSway::WriteHomeFile(const std::string& relativePath, const std::string& bytes) const {
    const std::filesystem::path path = std::filesystem::path(Home()) / relativePath;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    // Every folder from the home down belongs to the session's user, as the file does.
    for (std::filesystem::path part = path; part.string().size() >= Home().size();
         part = part.parent_path()) {
        (void)::chown(part.c_str(), m_uid, m_gid);
    }
}

bool CHeadlessSway::WaitForFocusedWindow(const std::string& title, int timeoutMs) const {
    // setpriv and env replace themselves with sway, so the child's process is sway's.
    const std::string socket = m_strRuntimeDir + "/sway-ipc." + std::to_string(m_uid) + "." +
                               std::to_string(m_sway->Pid()) + ".sock";
    // The command fails while no focused window has that title.
    std::vector<std::string> command = Prefix();
    command.insert(command.end(), {"timeout", "10", "swaymsg", "-s", socket,
                                   "[con_id=__focused__ title=\"^" + title + "$\"] nop"});
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (RunCommand(command) != 0) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

bool ReadRecordedText(CChildProcess& recorder, std::string& text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (recorder.ReadLine(line, MillisecondsUntil(deadline))) {
        if (line.rfind("TEXT ", 0) == 0) {
            text = Unhex(line.substr(5));
            return true;
        }
    }
    return false;
}

}  // namespace quenby::test
