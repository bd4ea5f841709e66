// Types the same 10,000 ASCII characters into a window of its own (in a second process), with
// Quenby's typist at no pause (both methods) and with a plain SendInput typist of the bench's own,
// and prints characters per second until the last key was sent and until the window had received
// the text, and the share that arrived right. Run under Wine on a virtual X server
// (bench/windows-typing) or on Windows.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TypingBenchSupport.h"
#include "input/TypingJob.h"
#include "win32/ForegroundWatcher.h"
#include "win32/Win32Typist.h"
#include "win32/WindowTimers.h"

namespace {

using namespace quenby;
using Clock = std::chrono::steady_clock;

constexpr wchar_t kReceiverClass[] = L"QuenbyBenchReceiver";
constexpr UINT kForget = WM_APP + 1;

// The receiving window lives in a process of its own (the bench started again with "receive"):
// Quenby types nothing into its own process's windows. It keeps every character it gets and
// hands them out as its window text.
std::u16string g_kept;
HWND g_receiver = nullptr;

LRESULT CALLBACK Receive(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CHAR:
            g_kept.push_back(static_cast<char16_t>(wParam));
            return 0;
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(g_kept.size());
        case WM_GETTEXT: {
            const std::size_t count = std::min<std::size_t>(g_kept.size(), wParam - 1);
            auto* out = reinterpret_cast<wchar_t*>(lParam);
            std::copy_n(g_kept.begin(), count, out);
            out[count] = L'\0';
            return static_cast<LRESULT>(count);
        }
        case kForget:
            g_kept.clear();
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

int RunReceiver() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Receive;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kReceiverClass;
    ::RegisterClassW(&windowClass);
    HWND window =
        ::CreateWindowExW(0, kReceiverClass, L"Quenby bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                          40, 400, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    ::SetForegroundWindow(window);
    ::SetFocus(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

std::size_t ReceivedCount() {
    return static_cast<std::size_t>(::SendMessageW(g_receiver, WM_GETTEXTLENGTH, 0, 0));
}

std::u16string Received() {
    std::wstring text(ReceivedCount() + 1, L'\0');
    text.resize(static_cast<std::size_t>(::SendMessageW(g_receiver, WM_GETTEXT, text.size(),
                                                        reinterpret_cast<LPARAM>(text.data()))));
    return std::u16string(text.begin(), text.end());
}

// Handles this thread's messages until `done` or a minute has passed.
bool Pump(const std::function<bool()>& done) {
    const auto end = Clock::now() + std::chrono::minutes(1);
    while (!done() && Clock::now() < end) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return done();
}

// Lets the window take in what is still on its way, then forgets it.
void Settle() {
    std::size_t seen = SIZE_MAX;
    while (seen != ReceivedCount()) {
        seen = ReceivedCount();
        const auto end = Clock::now() + std::chrono::milliseconds(300);
        Pump([&] { return Clock::now() > end; });
    }
    ::SendMessageW(g_receiver, kForget, 0, 0);
}

void Report(const char* who, const std::u16string& sent, Clock::time_point start,
            Clock::time_point sentAt) {
    const std::chrono::duration<double> sending = sentAt - start;
    const std::chrono::duration<double> arriving = Clock::now() - start;
    const double sendRate = static_cast<double>(sent.size()) / sending.count();
    const double rate = static_cast<double>(sent.size()) / arriving.count();
    const double right = 100.0 * bench::ShareRight(sent, Received());
    std::printf("%-40s sent %8.0f chars/s, received %6.0f chars/s, %6.2f%% right\n", who, sendRate,
                rate, right);
    std::printf(
        "REPORT Windows typing 10,000 ASCII chars, %s|sent %.0f chars/s, received %.0f "
        "chars/s, %.2f%% right\n",
        who, sendRate, rate, right);
}

// Quenby's typist as the program runs it: its own thread, the report posted back, the focus
// looked at before each key.
void TypeWithQuenby(const char* who, const std::u16string& text, std::int32_t method) {
    CSendInputKeyboard keyboard;
    bench::CNoTextSetters setters;
    CWin32Sleeper sleeper(keyboard);
    CForegroundWatcher focus;
    std::atomic<bool> running{true};
    CWin32Typist typist(KeystrokeServices{keyboard, setters, sleeper, running, &focus}, keyboard);
    TypingJob job;
    job.m_strText = text;
    job.m_iKeyInputMethod = method;
    job.m_uCharDelayMin = job.m_uCharDelayMax = 0;
    std::optional<TypingResult> result;
    Clock::time_point sentAt;
    const auto start = Clock::now();
    typist.TypeMessage(job, [&](TypingResult typed) {
        result = std::move(typed);
        sentAt = Clock::now();
    });
    Pump([&] { return result.has_value() && ReceivedCount() >= text.size(); });
    Report(who, text, start, sentAt);
    Settle();
}

// A plain typist: Unicode events, `perCall` characters in each SendInput call, on a thread.
void TypePlainly(const char* who, const std::u16string& text, std::size_t perCall) {
    const auto start = Clock::now();
    std::atomic<Clock::time_point> sentAt{start};
    std::thread typist([&] {
        std::vector<INPUT> events;
        for (std::size_t i = 0; i < text.size(); ++i) {
            for (DWORD up : {0ul, static_cast<DWORD>(KEYEVENTF_KEYUP)}) {
                INPUT input{};
                input.type = INPUT_KEYBOARD;
                input.ki.wScan = text[i];
                input.ki.dwFlags = KEYEVENTF_UNICODE | up;
                events.push_back(input);
            }
            if (events.size() >= 2 * perCall || i + 1 == text.size()) {
                ::SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
                events.clear();
            }
        }
        sentAt.store(Clock::now());
    });
    Pump([&] { return ReceivedCount() >= text.size(); });
    typist.join();
    Report(who, text, start, sentAt.load());
    Settle();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "receive") {
        return RunReceiver();
    }
    // Printable ASCII in a fixed pseudo-random order: letters, digits, signs, spaces.
    std::u16string ascii;
    std::uint32_t seed = 12345;
    while (ascii.size() < 10000) {
        seed = seed * 1664525u + 1013904223u;
        ascii.push_back(static_cast<char16_t>(0x20 + (seed >> 8) % 95));
    }
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" receive";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION receiver{};
    if (!::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &receiver)) {
        std::fprintf(stderr, "the receiver could not be started\n");
        return 1;
    }
    Pump([] {
        g_receiver = ::FindWindowW(kReceiverClass, nullptr);
        return g_receiver != nullptr && ::GetForegroundWindow() == g_receiver;
    });
    if (g_receiver == nullptr) {
        std::fprintf(stderr, "the receiver's window did not come up\n");
        return 1;
    }
    Settle();
    TypeWithQuenby("Quenby, Unicode events, no pause", ascii, 0);
    TypeWithQuenby("Quenby, keyboard layout, no pause", ascii, 1);
    TypePlainly("plain SendInput, one call a character", ascii, 1);
    TypePlainly("plain SendInput, 128 characters a call", ascii, 128);
    ::TerminateProcess(receiver.hProcess, 0);
    ::CloseHandle(receiver.hThread);
    ::CloseHandle(receiver.hProcess);
    return 0;
}
