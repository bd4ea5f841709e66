#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "engine/WideText.h"
#include "support/BrowserPage.h"
#include "support/ChildProcess.h"

namespace quenby::test {

// The end marker the application tests type after each text: no layout has it.
inline constexpr char16_t kEndMarker = u'\ue000';

// What an application received, read back text by text up to each end marker, whichever way it
// reports it: a browser page posting its <textarea>, or a recorder's lines (of the GTK, Qt and
// terminal recorders "TEXT <hex>" before each marker, of the Xlib recorder "KEY <state> <hex>"
// for each key).
class CAppReceiver {
public:
    void Watch(std::unique_ptr<CBrowserPage> page) { m_page = std::move(page); }
    void Watch(std::unique_ptr<CChildProcess> reporter) { m_reporter = std::move(reporter); }
    CBrowserPage* Page() const { return m_page.get(); }
    CChildProcess* Reporter() const { return m_reporter.get(); }

    // The UTF-8 text received after the last marker taken and before the next; false when no
    // further marker arrives within `timeoutMs`, or at once when the reporter has ended.
    bool Read(std::string& text, int timeoutMs) {
        const std::string marker = Utf8FromUtf16(std::u16string(1, kEndMarker));
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const std::size_t at = m_all.find(marker, m_taken);
            if (at != std::string::npos) {
                text = m_all.substr(m_taken, at - m_taken);
                m_taken = at + marker.size();
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline ||
                (m_reporter && m_reporter->Ended())) {
                return false;
            }
            Take();
        }
    }

private:
    // Takes in the next report, if one comes soon.
    void Take() {
        if (m_page) {  // the page posts its whole text
            m_all = Utf8FromUtf16(m_page->WaitForText(std::u16string::npos, 200));
            return;
        }
        std::string line;
        if (!m_reporter->ReadLine(line, 200)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // (it may have ended)
            return;
        }
        const std::string hex = line.substr(line.rfind(' ') + 1);
        if (line.rfind("TEXT ", 0) == 0) {
            m_all += Unhex(hex) + Utf8FromUtf16(std::u16string(1, kEndMarker));
        } else if (line.rfind("KEY ", 0) == 0) {
            m_all += Unhex(hex);
        }
    }

    std::unique_ptr<CBrowserPage> m_page;
    std::unique_ptr<CChildProcess> m_reporter;
    std::string m_all;        // everything received, as far as read
    std::size_t m_taken = 0;  // of m_all, up to and with the last marker taken
};

}  // namespace quenby::test
