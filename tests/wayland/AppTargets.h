#pragma once

#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <string>

#include "support/AppReceiver.h"
#include "wayland/HeadlessSway.h"

namespace quenby::test {

// A real application on the test's sway with the focus in a text field, and what it received:
// - "foot": the terminal runs the recorder, which reads the terminal raw and writes its TEXT
//   lines to a file that `tail` passes on;
// - "chromium", "firefox": the browser on Wayland shows the browser tests' page, which posts its
//   text back;
// - "gtk3": the GTK 3 recorder.
class CAppTarget {
public:
    CAppTarget(const CHeadlessSway& sway, const std::string& name) {
        if (name == "gtk3") {
            auto recorder = sway.StartGtkRecorder();
            m_strFailure = recorder ? "" : "the GTK 3 recorder did not come up with the focus";
            m_receiver.Watch(std::move(recorder));
        } else if (name == "foot") {
            const std::string file = sway.RuntimeDir() + "/terminal.txt";
            std::ofstream(file).flush();
            ::chmod(file.c_str(), 0666);
            m_receiver.Watch(sway.Run({"tail", "-n", "+1", "-F", file}));
            m_app = sway.Run({"foot", "python3", QUENBY_WAYLAND_RECORDER, "tty", file});
            // The recorder runs once the terminal is up; its window is focused by then.
            if (!m_receiver.Reporter()->WaitForLine("READY", kSwayStartMs) ||
                !sway.WaitForFocusedWindow("foot", kSwayStartMs)) {
                m_strFailure = "foot did not come up with the focus";
            }
        } else {
            m_receiver.Watch(std::make_unique<CBrowserPage>(sway.Home()));
            const std::string url = m_receiver.Page()->Url();
            sway.WriteHomeFile("firefox/user.js", "");  // a profile folder the user owns
            m_app = name == "firefox"
                        ? sway.Run({"firefox", "--no-remote", "--profile", sway.Home() + "/firefox",
                                    url},
                                   {"MOZ_ENABLE_WAYLAND=1"})
                        : sway.Run({"chromium", "--ozone-platform=wayland", "--no-sandbox",
                                    "--disable-gpu", "--user-data-dir=" + sway.Home() + "/chromium",
                                    "--no-first-run", "--disable-background-networking",
                                    "--disable-component-update", "--disable-sync",
                                    "--password-store=basic", "--app=" + url});
            // A browser takes a while to start on a loaded machine.
            if (!m_receiver.Page()->WaitUntilFocused(6 * kSwayStartMs)) {
                m_strFailure = name + "'s page did not get the focus";
            }
        }
    }

    // Why the application is not ready for keys, or empty when it is.
    const std::string& Failure() const { return m_strFailure; }
    CAppReceiver& Receiver() { return m_receiver; }
    // The application's own process (the terminal, or the browser's first).
    int Pid() const { return m_app->Pid(); }

private:
    std::string m_strFailure;
    CAppReceiver m_receiver;
    std::unique_ptr<CChildProcess> m_app;
};

}  // namespace quenby::test
