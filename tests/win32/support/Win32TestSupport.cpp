#include "support/Win32TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/PeerWindows.h"

namespace quenby::test {
namespace {

bool Signalled(HANDLE handle) {
    return ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

}  // namespace

bool RunningUnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) {
            return done();
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return true;
}

std::wstring ControlText(HWND control) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return L"<no answer>";
    }
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(control, WM_GETTEXT, buffer.size(),
                               reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, 5000,
                               &copied)) {
        return L"<no answer>";
    }
    return std::wstring(buffer.data(), copied);
}

ScreenPoint CentreOf(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return ScreenPoint{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

std::unique_ptr<CProcess> CProcess::Start(const std::wstring& program,
                                          const std::wstring& arguments, bool signalsReady) {
    std::vector<wchar_t> self(32768);
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::wstring commandLine =
        L"\"" + std::filesystem::path(self.begin(), self.end()).replace_filename(program).native() +
        L"\" " + arguments;
    static int s_iCount = 0;
    const std::wstring eventName = L"QuenbyTestReady-" + std::to_wstring(::GetCurrentProcessId()) +
                                   L"-" + std::to_wstring(++s_iCount);
    const std::shared_ptr<void> ready(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()),
                                      &::CloseHandle);
    if (signalsReady) {
        commandLine += L" " + eventName;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return nullptr;
    }
    std::unique_ptr<CProcess> process(new CProcess(info));
    // Ready, or gone: a program that could not do its part exits at once.
    if (signalsReady) {
        PumpUntil([&] { return Signalled(ready.get()) || Signalled(info.hProcess); });
        if (!Signalled(ready.get())) {
            return nullptr;
        }
    }
    return process;
}

CProcess::~CProcess() {
    if (!Signalled(m_process.hProcess)) {
        ::TerminateProcess(m_process.hProcess, 99);
        ::WaitForSingleObject(m_process.hProcess, 10000);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

std::optional<DWORD> CProcess::WaitForExit(std::chrono::milliseconds deadline) {
    DWORD code = 0;
    if (!PumpUntil([this] { return Signalled(m_process.hProcess); }, deadline) ||
        !::GetExitCodeProcess(m_process.hProcess, &code)) {
        return std::nullopt;
    }
    return code;
}

HWND CProcess::WaitForWindow(const std::function<bool(HWND)>& match,
                             std::chrono::milliseconds deadline) const {
    struct Search {
        DWORD m_process;
        const std::function<bool(HWND)>& m_match;
        HWND m_found = nullptr;
    } search{m_process.dwProcessId, match};
    const WNDENUMPROC visit = [](HWND window, LPARAM context) -> BOOL {
        auto& found = *reinterpret_cast<Search*>(context);
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process == found.m_process && ::IsWindowVisible(window) && found.m_match(window)) {
            found.m_found = window;
            return FALSE;
        }
        return TRUE;
    };
    PumpUntil(
        [&] {
            ::EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
            return search.m_found != nullptr || Signalled(m_process.hProcess);
        },
        deadline);
    return search.m_found;
}

std::unique_ptr<CProcess> StartPeer(const std::wstring& arguments, bool signalsReady) {
    return CProcess::Start(L"quenby_test_peer.exe", arguments, signalsReady);
}

bool PressInAnotherProcess(WORD key, UINT modifiers) {
    std::unique_ptr<CProcess> presser =
        StartPeer(L"press " + std::to_wstring(key) + L" " + std::to_wstring(modifiers));
    return presser && presser->WaitForExit() == DWORD{0};
}

std::unique_ptr<PeerEdits> PeerEdits::Open(bool hung) {
    auto edits = std::make_unique<PeerEdits>();
    edits->m_process = StartPeer(hung ? L"hung-edits" : L"edits", true);
    if (edits->m_process) {
        edits->m_window = edits->m_process->WaitForWindow(
            [](HWND window) { return ::GetDlgItem(window, kEditableId) != nullptr; });
    }
    edits->m_editable = ::GetDlgItem(edits->m_window, kEditableId);
    edits->m_readOnly = ::GetDlgItem(edits->m_window, kReadOnlyId);
    if (edits->m_editable == nullptr || edits->m_readOnly == nullptr) {
        ADD_FAILURE() << "the test peer's window did not come up";
        return nullptr;
    }
    // Typing goes to the focus: wait until the peer's window has it.
    if (!hung && !PumpUntil([&] { return ::GetForegroundWindow() == edits->m_window; })) {
        ADD_FAILURE() << "the test peer's window did not come to the foreground";
        return nullptr;
    }
    return edits;
}

bool PeerEdits::WaitForEditableText(const std::wstring& expected, std::wstring& actual) const {
    PumpUntil([&] {
        actual = ControlText(m_editable);
        return actual == expected;
    });
    return actual == expected;
}

}  // namespace quenby::test
