#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace quenby::test {

// A headless sway of the test's own, with a session bus, runtime folder and environment of its
// own. Sway refuses to run as root: when the test runs as root, sway and every client started
// through Run() run as nobody, and the runtime folder belongs to nobody. This process connects to
// the compositor's socket by its full path (WAYLAND_DISPLAY is set while the object lives); root
// may use a socket of any owner.
class CHeadlessSway {
public:
    // `extraConfig`: lines added to the compositor's configuration (key bindings, for example).
    explicit CHeadlessSway(const std::string& extraConfig = "");
    ~CHeadlessSway();
    CHeadlessSway(const CHeadlessSway&) = delete;
    CHeadlessSway& operator=(const CHeadlessSway&) = delete;

    // Why the compositor is not up, or empty when it is.
    const std::string& Failure() const { return m_strFailure; }
    const std::string& RuntimeDir() const { return m_strRuntimeDir; }
    std::string Home() const { return m_strRuntimeDir + "/home"; }
    // Starts a program in the session (as the session's user), its standard output read by lines.
    std::unique_ptr<CChildProcess> Run(const std::vector<std::string>& argv,
                                       const std::vector<std::string>& env = {}) const;
    // Starts the GTK 3 recorder and waits until its window has the focus; null when it does not
    // get there in time.
    std::unique_ptr<CChildProcess> StartGtkRecorder() const;
    // Writes a file under the session's home, owned by the session's user.
    void WriteHomeFile(const std::string& relativePath, const std::string& bytes) const;
    // Waits until a window with this title is on the screen and has the focus.
    bool WaitForFocusedWindow(const std::string& title, int timeoutMs) const;

private:
    void Start(const std::string& extraConfig);
    // The command line's start that runs a program as the session's user, in its environment.
    std::vector<std::string> Prefix() const;

    std::string m_strFailure;
    std::string m_strRuntimeDir;
    std::string m_strSocket;
    std::string m_strBus;
    unsigned m_uid = 0;
    unsigned m_gid = 0;
    bool m_bAsOtherUser = false;
    std::unique_ptr<CChildProcess> m_bus;
    std::unique_ptr<CChildProcess> m_sway;
};

// Waits for the next "TEXT <hex>" line of a recorder and returns the text; false on timeout.
bool ReadRecordedText(CChildProcess& recorder, std::string& text, int timeoutMs);

}  // namespace quenby::test
