#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace quenby::test {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

CChildProcess::CChildProcess(const std::vector<std::string>& argv,
                             const std::vector<std::string>& env, const std::string& input) {
    int pipeFds[2];
    int inputFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0 || ::pipe2(inputFds, O_CLOEXEC) != 0 ||
        ::pipe2(m_stopFds, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<std::string> args = argv;
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        environment.emplace_back(*e);
    }
    environment.insert(environment.end(), env.begin(), env.end());
    std::vector<char*> argPointers = Pointers(args);
    std::vector<char*> envPointers = Pointers(environment);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, inputFds[0], STDIN_FILENO);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argPointers.data(),
                     envPointers.data()) == 0) {
        m_pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    ::close(inputFds[0]);
    if (!input.empty()) {
        (void)::write(inputFds[1], input.data(), input.size());
    }
    ::close(inputFds[1]);
    m_output = pipeFds[0];
    m_reader = std::thread([this] { Drain(); });
}

void CChildProcess::Drain() {
    char chunk[65536];
    for (;;) {
        pollfd fds[2] = {{m_output, POLLIN, 0}, {m_stopFds[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno == EINTR) {
            continue;
        }
        const bool stop = (fds[1].revents & POLLIN) != 0;
        const ssize_t got = stop ? 0 : ::read(m_output, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (got <= 0) {
            m_bEnded = true;
            m_changed.notify_all();
            return;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(got));
        m_changed.notify_all();
    }
}

CChildProcess::~CChildProcess() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_reader.joinable()) {
        const char stop = 0;
        (void)::write(m_stopFds[1], &stop, 1);
        m_reader.join();
    }
    for (int fd : {m_stopFds[0], m_stopFds[1], m_output}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

int CChildProcess::Wait() {
    if (m_pid <= 0) {
        return -1;
    }
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void CChildProcess::Signal(int signal) {
    if (m_pid > 0) {
        ::kill(m_pid, signal);
    }
}

bool CChildProcess::ReadLine(std::string& line, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        const std::size_t newline = m_buffer.find('\n');
        if (newline != std::string::npos) {
            line = m_buffer.substr(0, newline);
            m_buffer.erase(0, newline + 1);
            m_lines.push_back(line);
            return true;
        }
        if (m_bEnded || m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            return false;
        }
    }
}

bool CChildProcess::WaitForLine(const std::string& wanted, int timeoutMs) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    std::string line;
    while (ReadLine(
        line,
        static_cast<int>(duration_cast<milliseconds>(deadline - steady_clock::now()).count()))) {
        if (line == wanted) {
            return true;
        }
    }
    return false;
}

int RunCommand(const std::vector<std::string>& argv, std::string* output) {
    CChildProcess child(argv);
    if (!child.Started()) {
        return -1;
    }
    std::string line;
    while (child.ReadLine(line, 30000)) {
        if (output != nullptr) {
            *output += line + "\n";
        }
    }
    return child.Wait();
}

}  // namespace quenby::test
