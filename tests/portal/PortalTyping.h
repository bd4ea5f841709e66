#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "input/KeyGate.h"
#include "input/TextTyper.h"
#include "input/ThreadSleeper.h"
#include "linux/portal/PortalKeyboard.h"
#include "wayland/HeadlessSway.h"

namespace quenby::test {

// Ends a text in the GTK recorder: desktops that type only what the user's layout has drop its
// marker character.
inline constexpr KeyCode kRecorderEndKey = 96;  // F12

// Types `text` through a desktop's portal as a run types a message, by keysyms, which the
// desktop finds in the user's layout, then ends it in the recorder; the output's failure when
// it has none.
inline Status TypeThroughPortal(IKeyboard& keyboard, const std::u16string& text) {
    Expected<std::unique_ptr<IKeyboardOutput>> output = keyboard.OpenOutput();
    if (!output.ok()) {
        return output.status();
    }
    CThreadSleeper sleeper;
    std::atomic<bool> running{true};
    const std::atomic<bool> stopNow{false};
    CKeyGate gate(running, stopNow, nullptr, false);
    CTextTyper typer(*output.value(), sleeper, gate);
    typer.m_uCharDelayMin = typer.m_uCharDelayMax = 0;
    typer.SetKeyInputMethod(0);
    typer.TypeText(text);
    output.value()->SendKey(kRecorderEndKey, true);
    output.value()->SendKey(kRecorderEndKey, false);
    return output.value()->SendStatus();
}

// What the recorder received up to the end key, empty when nothing came.
inline std::string Recorded(CChildProcess& recorder) {
    std::string text;
    ReadRecordedText(recorder, text, 30000);
    return text;
}

// The GTK 3 recorder on this process's WAYLAND_DISPLAY, once it says `line` (SHOWN: mapped;
// READY: the keyboard is in it); null when it does not come.
inline std::unique_ptr<CChildProcess> StartRecorder(const char* line) {
    auto recorder = std::make_unique<CChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", QUENBY_WAYLAND_RECORDER, "gtk"},
        std::vector<std::string>{"GDK_BACKEND=wayland"});
    return recorder->WaitForLine(line, 60000) ? std::move(recorder) : nullptr;
}

}  // namespace quenby::test
