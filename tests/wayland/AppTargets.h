#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "wayland/HeadlessSway.h"

namespace quenby::test {

// A real application on the test's sway with the focus in a text field, and what it received,
// as the recorder's TEXT lines (one per end marker):
// - "foot": the terminal runs the recorder, which reads the terminal raw and writes to a file;
// - "chromium": Chromium on Wayland shows a local page whose <textarea> posts its text back to
//   the recorder serving the page.
class CAppTarget {
public:
    CAppTarget(const CHeadlessSway& sway, const std::string& name) : m_strName(name) {
        if (name == "foot") {
            StartFoot(sway);
        } else {
            StartChromium(sway);
        }
    }

    // Why the application is not ready for keys, or empty when it is.
    const std::string& Failure() const { return m_strFailure; }

    // The next text the application received before an end marker; false when none comes in
    // time.
    bool Read(std::string& text, int timeoutMs) {
        if (m_receiver) {
            return ReadRecordedText(*m_receiver, text, timeoutMs);
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            std::ifstream in(m_strFile);
            std::vector<std::string> texts;
            for (std::string line; std::getline(in, line);) {
                if (line.rfind("TEXT ", 0) == 0) {
                    texts.push_back(line.substr(5));
                }
            }
            if (texts.size() > m_iRead) {
                text = Unhex(texts[m_iRead++]);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    // What a text becomes there: a terminal reads Return as carriage return.
    std::u16string Expected(std::u16string text) const {
        if (m_strName == "foot") {
            std::replace(text.begin(), text.end(), u'\n', u'\r');
        }
        return text;
    }

private:
    void StartFoot(const CHeadlessSway& sway) {
        m_strFile = sway.RuntimeDir() + "/terminal.txt";
        std::ofstream(m_strFile).flush();
        ::chmod(m_strFile.c_str(), 0666);
        m_app = sway.Run({"foot", "python3", QUENBY_WAYLAND_RECORDER, "tty", m_strFile});
        // The recorder runs once the terminal is up; its window is focused by then.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kSwayStartMs);
        std::string first;
        while (first != "READY" && std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(m_strFile);
            std::getline(in, first);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (first != "READY" || !sway.WaitForFocusedWindow("foot", kSwayStartMs)) {
            m_strFailure = "foot did not come up with the focus";
        }
    }

    void StartChromium(const CHeadlessSway& sway) {
        m_receiver = sway.Run({"python3", QUENBY_WAYLAND_RECORDER, "page"});
        std::string url;
        if (!m_receiver->ReadLine(url, kSwayStartMs) || url.rfind("URL ", 0) != 0) {
            m_strFailure = "the page's server did not start";
            return;
        }
        m_app = sway.Run({"chromium", "--ozone-platform=wayland", "--no-sandbox", "--disable-gpu",
                          "--user-data-dir=" + sway.Home() + "/chromium", "--no-first-run",
                          "--disable-background-networking", "--disable-component-update",
                          "--disable-sync", "--password-store=basic", "--app=" + url.substr(4)});
        // Chromium takes a while to start on a loaded machine.
        if (!m_receiver->WaitForLine("READY", 6 * kSwayStartMs)) {
            m_strFailure = "Chromium's page did not get the focus";
        }
    }

    std::string m_strName;
    std::string m_strFailure;
    std::unique_ptr<CChildProcess> m_receiver;  // Chromium's page server
    std::unique_ptr<CChildProcess> m_app;
    std::string m_strFile;  // foot's recorder writes here
    std::size_t m_iRead = 0;
};

}  // namespace quenby::test
