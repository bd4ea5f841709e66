#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>

#include "engine/WideText.h"
#include "support/BrowserPage.h"
#include "wayland/HeadlessSway.h"

namespace quenby::test {

// A real application on the test's sway with the focus in a text field, and what it received
// before each end marker (U+E000):
// - "foot": the terminal runs the recorder, which reads the terminal raw and writes its TEXT
//   lines to a file that `tail` passes on;
// - "chromium": Chromium on Wayland shows the browser tests' page, which posts its text back.
class CAppTarget {
public:
    CAppTarget(const CHeadlessSway& sway, const std::string& name) : m_strName(name) {
        if (name == "foot") {
            const std::string file = sway.RuntimeDir() + "/terminal.txt";
            std::ofstream(file).flush();
            ::chmod(file.c_str(), 0666);
            m_receiver = sway.Run({"tail", "-n", "+1", "-F", file});
            m_app = sway.Run({"foot", "python3", QUENBY_WAYLAND_RECORDER, "tty", file});
            // The recorder runs once the terminal is up; its window is focused by then.
            if (!m_receiver->WaitForLine("READY", kSwayStartMs) ||
                !sway.WaitForFocusedWindow("foot", kSwayStartMs)) {
                m_strFailure = "foot did not come up with the focus";
            }
            return;
        }
        m_page = std::make_unique<CBrowserPage>(sway.Home());
        m_app = sway.Run({"chromium", "--ozone-platform=wayland", "--no-sandbox", "--disable-gpu",
                          "--user-data-dir=" + sway.Home() + "/chromium", "--no-first-run",
                          "--disable-background-networking", "--disable-component-update",
                          "--disable-sync", "--password-store=basic", "--app=" + m_page->Url()});
        // Chromium takes a while to start on a loaded machine.
        if (!m_page->WaitUntilFocused(6 * kSwayStartMs)) {
            m_strFailure = "Chromium's page did not get the focus";
        }
    }

    // Why the application is not ready for keys, or empty when it is.
    const std::string& Failure() const { return m_strFailure; }
    // The application's own process (the terminal, or the browser's first).
    int Pid() const { return m_app->Pid(); }

    // The next text the application received before an end marker; false when none comes in
    // time (Chromium's `text` then holds what came since the last marker).
    bool Read(std::string& text, int timeoutMs) {
        if (!m_page) {
            return ReadRecordedText(*m_receiver, text, timeoutMs);
        }
        std::u16string got;
        const bool marked = m_page->ReadToMarker(got, timeoutMs);
        text = Utf8FromUtf16(got);
        return marked;
    }

    // What a text becomes there: a terminal reads Return as carriage return.
    std::u16string Expected(std::u16string text) const {
        if (m_strName == "foot") {
            std::replace(text.begin(), text.end(), u'\n', u'\r');
        }
        return text;
    }

private:
    std::string m_strName;
    std::string m_strFailure;
    std::unique_ptr<CChildProcess> m_receiver;  // foot's recorder's lines
    std::unique_ptr<CBrowserPage> m_page;       // Chromium's
    std::unique_ptr<CChildProcess> m_app;
};

}  // namespace quenby::test
