#pragma once

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace quenby::test {

// The first of these programs (names or paths) that is not installed, or empty when all are.
inline std::string Missing(std::initializer_list<const char*> programs) {
    for (const char* program : programs) {
        if (RunCommand({"sh", "-c", std::string("command -v ") + program}) != 0) {
            return program;
        }
    }
    return {};
}

// A bus of the test's own, listening at `listen` (unix:dir=... or unix:path=...), open to every
// client and eavesdropper, starting on demand only the services in `serviceDir` (none when
// empty), its configuration written to `config` and run after `command` (a session's
// environment, say). Null when it prints no address within 20 seconds; `address` gets it.
inline std::unique_ptr<CChildProcess> StartBus(const std::filesystem::path& config,
                                               const std::string& listen, std::string& address,
                                               const std::string& serviceDir = "",
                                               std::vector<std::string> command = {}) {
    std::ofstream(config, std::ios::binary)
        << "<busconfig><type>session</type><listen>" + listen + "</listen><auth>EXTERNAL</auth>" +
               (serviceDir.empty() ? "" : "<servicedir>" + serviceDir + "</servicedir>") +
               "<policy context=\"default\"><allow user=\"*\"/><allow send_destination=\"*\" "
               "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow receive_sender=\"*\"/>"
               "<allow own=\"*\"/></policy></busconfig>";
    command.insert(command.end(), {"dbus-daemon", "--config-file=" + config.string(), "--nofork",
                                   "--print-address=1"});
    auto bus = std::make_unique<CChildProcess>(command);
    return bus->ReadLine(address, 20000) && !address.empty() ? std::move(bus) : nullptr;
}

// What a headless desktop of a test's own is made of: a runtime folder private to the session's
// user with the home inside, a session bus, and programs started in an environment of the
// session's own, so that nothing of the test runner's desktop leaks in.
class CPrivateSession {
public:
    CPrivateSession(const CPrivateSession&) = delete;
    CPrivateSession& operator=(const CPrivateSession&) = delete;

    // Why the desktop is not up, or empty when it is.
    const std::string& Failure() const { return m_strFailure; }
    const std::string& RuntimeDir() const { return m_strRuntimeDir; }
    std::string Home() const { return m_strRuntimeDir + "/home"; }

    // Starts a program in the session (as the session's user), its standard output read by lines.
    std::unique_ptr<CChildProcess> Run(const std::vector<std::string>& argv,
                                       const std::vector<std::string>& env = {}) const {
        std::vector<std::string> command = Prefix();
        command.insert(command.end(), env.begin(), env.end());
        command.insert(command.end(), argv.begin(), argv.end());
        return std::make_unique<CChildProcess>(command);
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

protected:
    CPrivateSession() = default;
    ~CPrivateSession() {
        m_bus.reset();  // the programs end before the folders they use go
        if (!m_strRuntimeDir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_strRuntimeDir, ignored);
        }
    }

    // Runs the session as the user quenby-test, as a test run as root must (desktops refuse root,
    // and the portal may only look into processes of its own user): one of the tests' own rather
    // than nobody, which should own no files, created when missing. False with the failure set
    // when it cannot be.
    bool UseSessionUser() {
        static constexpr const char* kUser = "quenby-test";
        if (::getpwnam(kUser) == nullptr) {
            RunCommand(
                {"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser});
        }
        const passwd* user = ::getpwnam(kUser);
        if (user == nullptr) {
            m_strFailure = "cannot create the session's user";
            return false;
        }
        m_uid = user->pw_uid;
        m_gid = user->pw_gid;
        return true;
    }

    // Makes the runtime folder (quenby-`name`-...), private to the session's user as a login
    // session's is; false with the failure set when it cannot.
    bool MakeRuntimeDir(const std::string& name) {
        std::string pattern = "/tmp/quenby-" + name + "-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            m_strFailure = "cannot make a runtime folder";
            return false;
        }
        m_strRuntimeDir = pattern;
        if (::chown(m_strRuntimeDir.c_str(), m_uid, m_gid) != 0 ||
            ::chmod(m_strRuntimeDir.c_str(), 0700) != 0) {
            m_strFailure = "cannot hand the runtime folder to the session's user";
            return false;
        }
        return true;
    }

    // The command line's start that runs a program as the session's user, in the session's
    // environment (with `m_env` added).
    std::vector<std::string> Prefix() const {
        std::vector<std::string> prefix;
        if (::getuid() != m_uid) {
            // setpriv replaces itself with the program, so killing the child kills the program.
            prefix = {"setpriv", "--reuid=" + std::to_string(m_uid),
                      "--regid=" + std::to_string(m_gid), "--clear-groups", "--"};
        }
        prefix.insert(prefix.end(), {"env", "-i", "PATH=/usr/bin:/bin", "LANG=C.UTF-8",
                                     "HOME=" + Home(), "XDG_RUNTIME_DIR=" + m_strRuntimeDir});
        if (!m_strBus.empty()) {
            prefix.push_back("DBUS_SESSION_BUS_ADDRESS=" + m_strBus);
        }
        prefix.insert(prefix.end(), m_env.begin(), m_env.end());
        return prefix;
    }

    std::string m_strFailure;
    std::string m_strRuntimeDir;
    std::string m_strBus;
    std::vector<std::string> m_env;  // the session's own variables
    unsigned m_uid = ::getuid();     // the session's user
    unsigned m_gid = ::getgid();
    std::unique_ptr<CChildProcess> m_bus;
};

}  // namespace quenby::test
