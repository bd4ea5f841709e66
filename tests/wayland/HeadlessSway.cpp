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
constexpr auto kStartDeadline = std::chrono::seconds(20);

}  // namespace

CHeadlessSway::CHeadlessSway(const std::string& extraConfig) {
    if (!Start(extraConfig)) {
        m_sway.reset();
        m_bus.reset();
    }
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
    const std::string home = m_strRuntimeDir + "/home";
    std::vector<std::string> env = {"env",
                                    "-u",
                                    "DISPLAY",
                                    "-u",
                                    "WAYLAND_DISPLAY",
                                    "HOME=" + home,
                                    "XDG_RUNTIME_DIR=" + m_strRuntimeDir,
                                    "XDG_CONFIG_HOME=" + home + "/.config",
                                    "XDG_CACHE_HOME=" + home + "/.cache",
                                    "XDG_DATA_HOME=" + home + "/.local/share"};
    if (!m_strBus.empty()) {
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + m_strBus);
    }
    prefix.insert(prefix.end(), env.begin(), env.end());
    return prefix;
}

bool CHeadlessSway::Start(const std::string& extraConfig) {
    if (::geteuid() == 0) {
        if (::getpwnam(kUser) == nullptr &&
            RunCommand({"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                        kUser}) != 0 &&
            ::getpwnam(kUser) == nullptr) {
            m_strFailure = std::string("cannot create the user ") + kUser;
            return false;
        }
        const passwd* user = ::getpwnam(kUser);
        m_uid = user->pw_uid;
        m_gid = user->pw_gid;
        m_bAsOtherUser = true;
    } else {
        m_uid = ::getuid();
        m_gid = ::getgid();
    }
    char pattern[] = "/tmp/quenby-wayland-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        m_strFailure = "cannot make a runtime folder";
        return false;
    }
    m_strRuntimeDir = pattern;
    const std::string home = m_strRuntimeDir + "/home";
    std::filesystem::create_directories(home + "/.config");
    const std::string config = home + "/.config/sway-test.conf";
    // One output; no XWayland (nothing here needs it, and it slows the start); no decorations.
    std::ofstream(config) << "output HEADLESS-1 resolution 1280x800\n"
                             "xwayland disable\n"
                             "default_border none\n"
                             "focus_on_window_activation focus\n"
                          << extraConfig;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_strRuntimeDir)) {
        (void)::chown(entry.path().c_str(), m_uid, m_gid);
    }
    // The runtime folder is private to its user, as a login session's is.
    if (::chown(m_strRuntimeDir.c_str(), m_uid, m_gid) != 0 ||
        ::chmod(m_strRuntimeDir.c_str(), 0700) != 0) {
        m_strFailure = "cannot hand the runtime folder to the session's user";
        return false;
    }

    std::vector<std::string> bus = Prefix();
    bus.insert(bus.end(), {"dbus-daemon", "--session", "--nofork", "--print-address=1"});
    m_bus = std::make_unique<CChildProcess>(bus);
    if (!m_bus->ReadLine(m_strBus, 10000) || m_strBus.empty()) {
        m_strFailure = "the session bus did not start";
        return false;
    }

    std::vector<std::string> sway = Prefix();
    sway.insert(sway.end(), {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                             "WLR_RENDERER=pixman", "sway", "-c", config});
    m_sway = std::make_unique<CChildProcess>(sway);
    // Up when its socket takes a connection.
    const auto deadline = Clock::now() + kStartDeadline;
    while (Clock::now() < deadline) {
        for (const auto& entry : std::filesystem::directory_iterator(m_strRuntimeDir)) {
            const std::string name = entry.path().filename();
            if (name.rfind("wayland-", 0) == 0 && entry.is_socket()) {
                ::setenv("WAYLAND_DISPLAY", entry.path().c_str(), 1);
                if (CWaylandSession::Open().ok()) {
                    m_strSocket = entry.path();
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_strFailure = "sway did not start (is it installed?)";
    return false;
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
    const int deadline = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kStartDeadline).count());
    if (!recorder->WaitForLine("READY", deadline)) {
        return nullptr;
    }
    return recorder;
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

std::string CHeadlessSway::SwayMsg(const std::vector<std::string>& arguments) const {
    std::string socket;
    for (const auto& entry : std::filesystem::directory_iterator(m_strRuntimeDir)) {
        if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0) {
            socket = entry.path();
        }
    }
    if (socket.empty()) {
        return {};
    }
    std::vector<std::string> command = Prefix();
    command.insert(command.end(), {"timeout", "10", "swaymsg", "-s", socket});
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::string output;
    return RunCommand(command, &output) == 0 ? output : std::string();
}

bool CHeadlessSway::WaitForFocusedWindow(const std::string& title, int timeoutMs) const {
    // The focused window in sway's tree: the one node with "focused" set, found by a small
    // script so that the order of the keys in sway's output does not matter.
    static const char* const kFocusedName =
        "import json, sys\n"
        "def walk(node):\n"
        "    if node.get('focused'):\n"
        "        print(node.get('name') or '')\n"
        "    for child in node.get('nodes', []) + node.get('floating_nodes', []):\n"
        "        walk(child)\n"
        "walk(json.load(sys.stdin))\n";
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        const std::string tree = SwayMsg({"-t", "get_tree", "-r"});
        if (!tree.empty()) {
            CChildProcess script({"python3", "-c", kFocusedName}, {}, tree);
            std::string focused;
            if (script.ReadLine(focused, 5000) && focused == title) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool ReadRecordedText(CChildProcess& recorder, std::string& text, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (!recorder.ReadLine(line, static_cast<int>(left))) {
            return false;
        }
        if (line.rfind("TEXT ", 0) == 0) {
            text = Unhex(line.substr(5));
            return true;
        }
    }
    return false;
}

}  // namespace quenby::test
