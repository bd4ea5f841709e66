#include "win32shell/SessionInstance.h"

#include <chrono>

#include "app/QuenbyController.h"
#include "win32shell/Prompts.h"

namespace quenby {
namespace {

// The running Quenby may still be making its window, or be ending: generous, as a loaded machine
// (or Wine) may take seconds for either.
constexpr auto kHandOverDeadline = std::chrono::seconds(20);
constexpr UINT kSendTimeoutMs = 20000;
constexpr std::u16string_view kNotAnswering =
    u"Quenby is already running but does not answer. Close it, then start Quenby again.";

BOOL CALLBACK FindMarked(HWND window, LPARAM found) {
    if (::GetPropW(window, CSessionInstance::kWindowProperty) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND RunningMainWindow() {
    HWND found = nullptr;
    ::EnumWindows(&FindMarked, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The running Quenby's current folder is not this start's: a relative path is made whole here.
std::wstring AbsoluteDataFile(const std::wstring& commandLine) {
    const std::filesystem::path path(PathFromCommandLine(commandLine));
    if (path.empty()) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).native();
}

// The running window's answer; nothing when it did not answer or did not take the request.
std::optional<LRESULT> SendRequest(HWND window, ULONG_PTR request, const std::wstring& path) {
    if (request == CSessionInstance::kOpenRequest) {
        // The user started this Quenby, so it may give the foreground to the running one.
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        ::AllowSetForegroundWindow(process);
    }
    COPYDATASTRUCT data{};
    data.dwData = request;
    data.cbData = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(path.data());
    DWORD_PTR answer = 0;
    if (::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                              SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer) == 0 ||
        answer == 0) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(answer);
}

}  // namespace

CSessionInstance::~CSessionInstance() {
    if (m_mutex != nullptr) {
        ::CloseHandle(m_mutex);
    }
}

std::optional<int> CSessionInstance::Claim(const std::wstring& commandLine) {
    const std::optional<ULONG_PTR> control = ControlRequest(commandLine);
    const ULONG_PTR request = control.value_or(kOpenRequest);
    const std::wstring path = control ? std::wstring() : AbsoluteDataFile(commandLine);
    // A request for a run goes nowhere when no Quenby runs: nor does it start one.
    const std::optional<int> alone = control ? std::optional<int>(1) : std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + kHandOverDeadline;
    do {
        m_mutex = ::CreateMutexW(nullptr, FALSE, kMutexName);
        const DWORD error = ::GetLastError();
        if (m_mutex == nullptr && error != ERROR_ACCESS_DENIED) {
            // No mutex to be had at all: run alone rather than not at all.
            return alone;
        }
        if (m_mutex != nullptr && error != ERROR_ALREADY_EXISTS) {
            return alone;
        }
        // Taken, possibly by a Quenby run as administrator, whose mutex this start may not open.
        if (m_mutex != nullptr) {
            ::CloseHandle(m_mutex);
            m_mutex = nullptr;
        }
        if (HWND running = RunningMainWindow()) {
            if (const std::optional<LRESULT> answer = SendRequest(running, request, path)) {
                return *answer == kNoRunActive ? 1 : 0;
            }
        }
        // Starting or ending: its window comes, or its mutex goes.
        ::Sleep(100);
    } while (std::chrono::steady_clock::now() < deadline);
    ShowMessageBox(nullptr, kNotAnswering, EMessageIcon::Warning, EMessageButtons::Ok);
    return 1;
}

std::optional<ULONG_PTR> CSessionInstance::ControlRequest(const std::wstring& commandLine) {
    const std::size_t first = commandLine.find_first_not_of(L" \t");
    const std::size_t last = commandLine.find_last_not_of(L" \t");
    const std::wstring option =
        first == std::wstring::npos ? std::wstring() : commandLine.substr(first, last - first + 1);
    if (option == L"--stop") {
        return kStopRequest;
    }
    if (option == L"--toggle") {
        return kToggleRequest;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> CSessionInstance::OpenRequest(const COPYDATASTRUCT& data) {
    if (data.dwData != kOpenRequest || data.cbData % sizeof(wchar_t) != 0 ||
        (data.cbData != 0 && data.lpData == nullptr)) {
        return std::nullopt;
    }
    return std::filesystem::path(
        std::wstring(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t)));
}

}  // namespace quenby
