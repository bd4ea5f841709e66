#pragma once

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "support/ChildProcess.h"

namespace quenby::test {

// A local page with one focused <textarea> that posts its value, whenever it changes, to a small
// HTTP receiver on 127.0.0.1 run by the test: what a browser made of the keys is read back
// exactly, without driving the browser through a remote protocol.
class CBrowserPage {
public:
    // Writes the page into `folder` and starts listening.
    explicit CBrowserPage(const std::filesystem::path& folder);
    ~CBrowserPage();  // (neither copied nor moved: it owns a thread and a mutex)

    // The page's address, for the browser's command line.
    std::string Url() const;

    // Waits until the page has loaded with its text area focused.
    bool WaitUntilFocused(int timeoutMs) {
        return WaitFor([this] { return m_bFocused; }, timeoutMs);
    }
    // The text once it has `units` UTF-16 code units, or has not changed for `quietMs` (Chromium
    // runs no page timer while it has keys to read: allow for its backlog).
    std::u16string WaitForText(std::size_t units, int quietMs);
    // The text typed before the next end marker (U+E000) past the last one taken; false when no
    // marker comes within `timeoutMs`, and then `text` holds what came after the last one.
    bool ReadToMarker(std::u16string& text, int timeoutMs);

private:
    bool WaitFor(const std::function<bool()>& done, int timeoutMs);
    void Serve();
    void Take(const std::string& body);

    std::filesystem::path m_file;
    int m_listener = -1;
    std::thread m_server;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    long m_lastPost = 0;  // posts can overtake each other: the newest wins
    bool m_bFocused = false;
    std::u16string m_text;
    std::size_t m_iTaken = 0;  // of the text, up to and with the last marker
};

// A browser ("chromium" or "firefox") on the current display showing `url` (Chromium as an
// application window, without tabs or address bar), with a profile of its own in `profile`.
std::unique_ptr<CChildProcess> StartBrowser(const std::string& browser,
                                            const std::filesystem::path& profile,
                                            const std::string& url);

}  // namespace quenby::test
