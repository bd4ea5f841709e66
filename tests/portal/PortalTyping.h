#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "input/KeyGate.h"
#include "input/TextTyper.h"
#include "input/ThreadSleeper.h"
#include "linux/portal/PortalKeyboard.h"
#include "wayland/HeadlessSway.h"

namespace quenby::test {

// Ends a text in the GTK recorder: desktops that type only what the user's layout has drop its
// marker character.
inline constexpr KeyCode kRecorderEndKey = 96;  // F12

// A run's typer on a portal's output, without pauses, by `method` (0: keysyms, which the
// desktop finds in the user's layout; 1: the layout's own keys).
struct CRunTyper {
    CRunTyper(IKeyboardOutput& output, int method) : m_typer(output, m_sleeper, m_gate) {
        m_typer.m_uCharDelayMin = m_typer.m_uCharDelayMax = 0;
        m_typer.SetKeyInputMethod(method);
    }
    CThreadSleeper m_sleeper;
    std::atomic<bool> m_running{true};
    const std::atomic<bool> m_stopNow{false};
    CKeyGate m_gate{m_running, m_stopNow, nullptr, false};
    CTextTyper m_typer;
};

// Types `text` through a desktop's portal as a run types a message, by `method`, then ends it in
// the recorder, or with Enter when `enter`; the output's failure when it has none.
inline Status TypeThroughPortal(IKeyboard& keyboard, const std::u16string& text, int method = 0,
                                bool enter = false) {
    Expected<std::unique_ptr<IKeyboardOutput>> output = keyboard.OpenOutput();
    if (!output.ok()) {
        return output.status();
    }
    CRunTyper run(*output.value(), method);
    run.m_typer.TypeText(text);
    if (enter) {
        run.m_typer.PressEnter();
    } else {
        output.value()->SendKey(kRecorderEndKey, true);
        output.value()->SendKey(kRecorderEndKey, false);
    }
    return output.value()->SendStatus();
}

// Waits until the keymap the desktop hands its clients is of the layout named `name` (for
// instance "German"), as once it has switched to a new one; false when it is not within 30
// seconds.
inline bool WaitForLayout(const std::string& name) {
    for (int i = 0; i < 300; ++i) {
        if (ReadWaylandUserKeymap().find("=\"" + name + "\";") != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// What the recorder received up to the end key, empty when nothing came.
inline std::string Recorded(CChildProcess& recorder) {
    std::string text;
    ReadRecordedText(recorder, text, 30000);
    return text;
}

// The GTK 3 recorder on this process's WAYLAND_DISPLAY, once it is mapped (the keyboard enters it
// at the session's first key); null when it does not show.
inline std::unique_ptr<CChildProcess> StartRecorder() {
    auto recorder = std::make_unique<CChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", QUENBY_WAYLAND_RECORDER, "gtk"},
        std::vector<std::string>{"GDK_BACKEND=wayland"});
    return recorder->WaitForLine("SHOWN", 60000) ? std::move(recorder) : nullptr;
}

// A desktop's portal backend alone (`desktop`.portal of the installed ones), then the frontend
// that finds it, each started here with this process's display, so that the bus does not start
// one without it; `folder` keeps the portal file.
inline void StartDesktopPortal(const std::filesystem::path& folder, const std::string& desktop,
                               const std::string& backend,
                               std::vector<std::unique_ptr<CChildProcess>>& processes) {
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file("/usr/share/xdg-desktop-portal/portals/" + desktop + ".portal",
                               folder / (desktop + ".portal"));
    ::setenv("XDG_DESKTOP_PORTAL_DIR", folder.c_str(), 1);
    for (const auto& [program, name] :
         {std::pair<std::string, std::string>{backend,
                                              "org.freedesktop.impl.portal.desktop." + desktop},
          {XDG_DESKTOP_PORTAL, "org.freedesktop.portal.Desktop"}}) {
        processes.push_back(std::make_unique<CChildProcess>(std::vector<std::string>{program}));
        ASSERT_EQ(RunCommand({"gdbus", "wait", "--session", "--timeout", "60", name}), 0)
            << program << " did not start";
    }
}

}  // namespace quenby::test
