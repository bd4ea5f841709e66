#include "support/BrowserPage.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "engine/WideText.h"

namespace quenby::test {
namespace {

// Posts "<number>\n<F if the text area has the focus, else U>\n<value>" every time that changes;
// the number orders posts that the browser may send over several connections at once.
constexpr const char* kPage = R"(<!doctype html><meta charset="utf-8"><title>Recorder</title>
<textarea id="text" autofocus style="width: 95vw; height: 90vh"></textarea><script>
let count = 0, posted = null;
setInterval(() => {
  const state = (document.hasFocus() && document.activeElement === text ? "F\n" : "U\n") + text.value;
  if (state !== posted) fetch("http://127.0.0.1:PORT/", {method: "POST", mode: "no-cors", body: ++count + "\n" + (posted = state)});
}, 50);
</script>)";

// Reads one request to its end: the headers, then Content-Length bytes of body.
std::string ReadBody(int client) {
    std::string request;
    char chunk[65536];
    for (ssize_t got = 0;; request.append(chunk, static_cast<std::size_t>(got))) {
        const std::size_t end = request.find("\r\n\r\n");
        std::string headers = request.substr(0, end);
        std::transform(headers.begin(), headers.end(), headers.begin(), ::tolower);
        const std::size_t field = headers.find("content-length:");
        if (end != std::string::npos && field != std::string::npos &&
            request.size() >= end + 4 + std::stoul(headers.substr(field + 15))) {
            return request.substr(end + 4);
        }
        pollfd fd{client, POLLIN, 0};
        if (::poll(&fd, 1, 10000) <= 0 || (got = ::read(client, chunk, sizeof chunk)) <= 0) {
            return {};
        }
    }
}

}  // namespace

CBrowserPage::CBrowserPage(const std::filesystem::path& folder) : m_file(folder / "page.html") {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;
    }
    std::string page = kPage;
    page.replace(page.find("PORT"), 4, std::to_string(ntohs(address.sin_port)));
    std::ofstream(m_file) << page;
    m_server = std::thread([this] { Serve(); });
}

CBrowserPage::~CBrowserPage() {
    ::shutdown(m_listener, SHUT_RDWR);  // ends the wait for the next connection
    if (m_server.joinable()) {
        m_server.join();
    }
    ::close(m_listener);
}

std::string CBrowserPage::Url() const {
    return "file://" + m_file.string();
}

void CBrowserPage::Serve() {
    for (int client; (client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        const std::string body = ReadBody(client);
        static constexpr char kAnswer[] = "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
        (void)::write(client, kAnswer, sizeof kAnswer - 1);
        ::close(client);
        Take(body);
    }
}

void CBrowserPage::Take(const std::string& body) {
    const std::size_t first = body.find('\n');
    const std::size_t second = first == std::string::npos ? first : body.find('\n', first + 1);
    if (second == std::string::npos) {
        return;
    }
    const long number = std::stol(body.substr(0, first));
    std::lock_guard<std::mutex> lock(m_mutex);
    if (number > m_lastPost) {
        m_lastPost = number;
        m_bFocused = body.compare(first + 1, second - first - 1, "F") == 0;
        m_text = Utf16FromUtf8(body.substr(second + 1));
        m_changed.notify_all();
    }
}

bool CBrowserPage::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
}

std::u16string CBrowserPage::WaitForText(std::size_t units, int quietMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        const long seen = m_lastPost;
        if (m_text.size() >= units ||
            !m_changed.wait_for(lock, std::chrono::milliseconds(quietMs),
                                [this, seen] { return m_lastPost != seen; })) {
            return m_text;
        }
    }
}

bool CBrowserPage::ReadToMarker(std::u16string& text, int timeoutMs) {
    // The page posts its whole text: wait until it has gone quiet with a marker past the last one
    // taken.
    std::u16string all;
    for (int waited = 0; waited < timeoutMs; waited += 200) {
        all = WaitForText(std::u16string::npos, 200);
        const std::size_t marker = all.find(u'\ue000', m_iTaken);
        if (marker != std::u16string::npos) {
            text = all.substr(m_iTaken, marker - m_iTaken);
            m_iTaken = marker + 1;
            return true;
        }
    }
    text = all.substr(std::min(m_iTaken, all.size()));
    m_iTaken = std::max(m_iTaken, all.size());
    return false;
}

std::unique_ptr<CChildProcess> StartBrowser(const std::string& browser,
                                            const std::filesystem::path& profile,
                                            const std::string& url) {
    std::filesystem::create_directories(profile);
    if (browser == "firefox") {
        return std::make_unique<CChildProcess>(
            std::vector<std::string>{browser, "--no-remote", "--profile", profile.string(),
                                     "--width", "1280", "--height", "1000", url},
            std::vector<std::string>{"MOZ_ENABLE_WAYLAND=0"});
    }
    // Headful, so that it takes X key events; a profile, a position and a size of its own, and
    // nothing that reaches out to the network or shows a first-run dialogue over the page.
    return std::make_unique<CChildProcess>(std::vector<std::string>{
        browser, "--no-sandbox", "--user-data-dir=" + profile.string(), "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync",
        "--disable-gpu", "--log-level=3", "--window-position=0,0", "--window-size=1280,1024",
        "--app=" + url});
}

}  // namespace quenby::test
