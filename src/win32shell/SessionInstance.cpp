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

bool SendOpenRequest(HWND window, const std::wstring& path) {
    // The user started this Quenby, so it may give the foreground to the running one.
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    ::AllowSetForegroundWindow(process);
    COPYDATASTRUCT data{};
    data.dwData = CSessionInstance::kOpenRequest;
    data.cbData = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(path.data());
    DWORD_PTR taken = 0;
    return ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                 SMTO_ABORTIFHUNG, kSendTimeoutMs, &taken) != 0 &&
           taken == TRUE;
}

}  // namespace

CSessionInstance::~CSessionInstance() {
    if (m_mutex != nullptr) {
        ::CloseHandle(m_mutex);
    }
}

std::optional<int> CSessionInstance::Claim(const std::wstring& commandLine) {
    const std::wstring path = AbsoluteDataFile(commandLine);
    const auto deadline = std::chrono::steady_clock::now() + kHandOverDeadline;
    do {
        m_mutex = ::CreateMutexW(nullptr, FALSE, kMutexName);
        const DWORD error = ::GetLastError();
        if (m_mutex == nullptr && error != ERROR_ACCESS_DENIED) {
            // No mutex to be had at all: run alone rather than not at all.
            return std::nullopt;
        }
        if (m_mutex != nullptr && error != ERROR_ALREADY_EXISTS) {
            return std::nullopt;
        }
        // Taken, possibly by a Quenby run as administrator, whose mutex this start may not open.
        if (m_mutex != nullptr) {
            ::CloseHandle(m_mutex);
            m_mutex = nullptr;
        }
        if (HWND running = RunningMainWindow();
            running != nullptr && SendOpenRequest(running, path)) {
            return 0;
        }
        // Starting or ending: its window comes, or its mutex goes.
        ::Sleep(100);
    } while (std::chrono::steady_clock::now() < deadline);
    ShowMessageBox(nullptr, kNotAnswering, EMessageIcon::Warning, EMessageButtons::Ok);
    return 1;
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
