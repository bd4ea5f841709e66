#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quenby::test {

// A program the test starts, with its standard output read line by line; killed when destroyed.
// The output is drained all the time by a thread of its own, so the program never blocks on a
// full pipe while the test is busy elsewhere.
class CChildProcess {
public:
    // Starts `argv[0]` (searched in PATH) with extra environment entries ("NAME=value"), and
    // `input` written to its standard input (which is then closed).
    CChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                  const std::string& input = "");
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    int Pid() const { return m_pid; }
    // The next line of output, or false when none comes within `timeoutMs` or the output ended.
    bool ReadLine(std::string& line, int timeoutMs);
    // Reads lines until one equals `wanted`; false on timeout. Lines read are kept in Lines().
    bool WaitForLine(const std::string& wanted, int timeoutMs);
    // Whether its output has ended and every line of it has been read.
    bool Ended() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bEnded && m_buffer.find('\n') == std::string::npos;
    }
    const std::vector<std::string>& Lines() const { return m_lines; }
    void ClearLines() { m_lines.clear(); }
    void Signal(int signal);
    // Waits for the program to end; its exit status, or -1 when it did not exit normally.
    int Wait();

private:
    void Drain();

    int m_pid = -1;
    int m_output = -1;
    int m_stopFds[2] = {-1, -1};  // tells the reader to stop, also while children hold the pipe
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_buffer;  // read, not yet taken as lines
    bool m_bEnded = false;
    std::vector<std::string> m_lines;
};

// The recording programs report text as hex digits, so that any byte survives a line of output.
inline std::string Hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}
inline std::string Unhex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Runs a command to its end; its exit status, or -1.
int RunCommand(const std::vector<std::string>& argv, std::string* output = nullptr);

}  // namespace quenby::test
