#include "support/QuenbyProcess.h"

#include <vector>

namespace quenby::test {
namespace {

struct Search {
    DWORD m_process;
    bool m_bMainWindow;
    const std::wstring* m_captionStart;
    HWND m_main;
    HWND m_found = nullptr;
};

std::wstring Caption(HWND window) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

BOOL CALLBACK Visit(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != search.m_process || !::IsWindowVisible(window)) {
        return TRUE;
    }
    wchar_t windowClass[64] = {};
    ::GetClassNameW(window, windowClass, static_cast<int>(std::size(windowClass)));
    if (std::wstring(windowClass) != L"#32770") {
        return TRUE;
    }
    // The main window is the one with the list of messages.
    const bool isMain =
        ::GetDlgItem(window, 1000) != nullptr && ::GetDlgItem(window, 1005) != nullptr;
    if (search.m_bMainWindow ? isMain
                             : (!isMain && window != search.m_main &&
                                Caption(window).rfind(*search.m_captionStart, 0) == 0)) {
        search.m_found = window;
        return FALSE;
    }
    return TRUE;
}

struct ChildSearch {
    const std::wstring* m_text;
    HWND m_found = nullptr;
};

BOOL CALLBACK VisitChild(HWND child, LPARAM context) {
    auto& search = *reinterpret_cast<ChildSearch*>(context);
    if (ControlText(child) == *search.m_text) {
        search.m_found = child;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindChildWithText(HWND parent, const std::wstring& text) {
    ChildSearch search{&text};
    ::EnumChildWindows(parent, &VisitChild, reinterpret_cast<LPARAM>(&search));
    return search.m_found;
}

std::wstring QuenbyProgramPath() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + QUENBY_PROGRAM_RELATIVE;
}

std::unique_ptr<CQuenbyProcess> CQuenbyProcess::Start(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + QuenbyProgramPath() + L"\"";
    if (!arguments.empty()) {
        commandLine += L" " + arguments;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return nullptr;
    }
    return std::unique_ptr<CQuenbyProcess>(new CQuenbyProcess(process));
}

CQuenbyProcess::~CQuenbyProcess() {
    if (::WaitForSingleObject(m_process.hProcess, 0) != WAIT_OBJECT_0) {
        ::TerminateProcess(m_process.hProcess, 99);
        ::WaitForSingleObject(m_process.hProcess, 10000);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

HWND CQuenbyProcess::FindWindowWhere(bool mainWindow, const std::wstring& captionStart) const {
    Search search{m_process.dwProcessId, mainWindow, &captionStart, m_main};
    ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    return search.m_found;
}

HWND CQuenbyProcess::WaitForMainWindow(std::chrono::milliseconds deadline) {
    PumpUntil([this] { return (m_main = FindWindowWhere(true, L"")) != nullptr; }, deadline);
    return m_main;
}

HWND CQuenbyProcess::WaitForDialog(const std::wstring& captionStart,
                                   std::chrono::milliseconds deadline) {
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindWindowWhere(false, captionStart)) != nullptr; }, deadline);
    return found;
}

std::optional<DWORD> CQuenbyProcess::WaitForExit(std::chrono::milliseconds deadline) {
    if (!PumpUntil([this] { return ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0; },
                   deadline)) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

void ClickButton(HWND dialog, int id) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

}  // namespace quenby::test
