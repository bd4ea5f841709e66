#include "support/BrowserPage.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "engine/WideText.h"

namespace quenby::test {
namespace {

// Posts "<number>\n<F if the text area has the focus, else U>\n<value>" every time that changes;
// the number orders posts that the browser may send over several connections at once.
constexpr const char* kPage = R"(<!doctype html>
<meta charset="utf-8"><title>Recorder</title>
<textarea id="text" autofocus style="width: 95vw; height: 90vh"></textarea>
<script>
const text = document.getElementById("text");
let count = 0;
let posted = null;
setInterval(() => {
  const state = (document.hasFocus() && document.activeElement === text ? "F" : "U") + "\n" +
                text.value;
  if (state !== posted) {
    posted = state;
    fetch("http://127.0.0.1:PORT/", {method: "POST", mode: "no-cors", body: ++count + "\n" + state});
  }
}, 50);
</script>
)";

// Reads one request to its end: the headers, then Content-Length bytes of body.
std::string ReadBody(int client) {
    std::string request;
    char chunk[65536];
    std::size_t bodyAt = std::string::npos;
    std::size_t length = 0;
    for (;;) {
        if (bodyAt != std::string::npos && request.size() >= bodyAt + length) {
            return request.substr(bodyAt, length);
        }
        pollfd fd{client, POLLIN, 0};
        if (::poll(&fd, 1, 10000) <= 0) {
            return {};
        }
        const ssize_t got = ::read(client, chunk, sizeof chunk);
        if (got <= 0) {
            return {};
        }
        request.append(chunk, static_cast<std::size_t>(got));
        if (bodyAt == std::string::npos) {
            const std::size_t end = request.find("\r\n\r\n");
            if (end == std::string::npos) {
                continue;
            }
            bodyAt = end + 4;
            std::string headers = request.substr(0, end);
            for (char& c : headers) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            const std::size_t field = headers.find("content-length:");
            if (field == std::string::npos) {
                return {};
            }
            length = std::stoul(headers.substr(field + 15));
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
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        ::pipe2(m_stopFds, O_CLOEXEC) != 0) {
        return;
    }
    m_port = ntohs(address.sin_port);
    std::string page = kPage;
    page.replace(page.find("PORT"), 4, std::to_string(m_port));
    std::ofstream(m_file) << page;
    m_server = std::thread([this] { Serve(); });
}

CBrowserPage::~CBrowserPage() {
    if (m_server.joinable()) {
        const char stop = 0;
        (void)::write(m_stopFds[1], &stop, 1);
        m_server.join();
    }
    for (int fd : {m_listener, m_stopFds[0], m_stopFds[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::string CBrowserPage::Url() const {
    return "file://" + m_file.string();
}

void CBrowserPage::Serve() {
    for (;;) {
        pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_stopFds[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
            return;
        }
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        const std::string body = ReadBody(client);
        static constexpr char kAnswer[] =
            "HTTP/1.1 204 No Content\r\nAccess-Control-Allow-Origin: *\r\nConnection: "
            "close\r\n\r\n";
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
    if (number <= m_lastPost) {
        return;
    }
    m_lastPost = number;
    m_state.m_bPosted = true;
    m_state.m_bFocused = body.compare(first + 1, second - first - 1, "F") == 0;
    m_state.m_text = Utf16FromUtf8(body.substr(second + 1));
    m_changed.notify_all();
}

CBrowserPage::State CBrowserPage::Now() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

bool CBrowserPage::WaitUntilFocused(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_state.m_bFocused; });
}

bool CBrowserPage::WaitUntilEmpty(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_state.m_text.empty(); });
}

std::u16string CBrowserPage::WaitForText(std::size_t units, int quietMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        const long seen = m_lastPost;
        if (m_state.m_text.size() >= units ||
            !m_changed.wait_for(lock, std::chrono::milliseconds(quietMs),
                                [this, seen] { return m_lastPost != seen; })) {
            return m_state.m_text;
        }
    }
}

std::unique_ptr<CChildProcess> StartChromium(const std::filesystem::path& profile,
                                             const std::string& url) {
    // Headful, so that it takes X key events; a profile, a position and a size of its own, and
    // nothing that reaches out to the network or shows a first-run dialogue over the page.
    return std::make_unique<CChildProcess>(std::vector<std::string>{
        "chromium", "--no-sandbox", "--user-data-dir=" + profile.string(), "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync",
        "--disable-gpu", "--log-level=3", "--window-position=0,0", "--window-size=1280,1024",
        "--app=" + url});
}

}  // namespace quenby::test
