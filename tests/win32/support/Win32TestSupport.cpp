#include "support/Win32TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/PeerWindows.h"

namespace quenby::test {
namespace {

std::wstring PeerProgram() {
    std::vector<wchar_t> buffer(32768);
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    std::wstring path(buffer.data(), length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"quenby_test_peer.exe";
}

// Keeps the calling thread's messages flowing while it waits for a handle.
bool WaitForHandle(HANDLE handle, std::chrono::milliseconds deadline) {
    return PumpUntil([handle] { return ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; },
                     deadline);
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

std::unique_ptr<CPeerProcess> CPeerProcess::Start(const std::wstring& arguments,
                                                  bool signalsReady) {
    static int s_iCount = 0;
    const std::wstring eventName = L"QuenbyTestPeerReady-" +
                                   std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(++s_iCount);
    HANDLE ready = signalsReady ? ::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()) : nullptr;
    std::wstring commandLine = L"\"" + PeerProgram() + L"\" " + arguments;
    if (signalsReady) {
        commandLine += L" " + eventName;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        if (ready != nullptr) {
            ::CloseHandle(ready);
        }
        return nullptr;
    }
    std::unique_ptr<CPeerProcess> peer(new CPeerProcess(process));
    if (ready != nullptr) {
        // Ready, or gone: a peer that could not do its part exits at once.
        const bool gotReady =
            PumpUntil(
                [&] {
                    return ::WaitForSingleObject(ready, 0) == WAIT_OBJECT_0 ||
                           ::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
                },
                kDeadline) &&
            ::WaitForSingleObject(ready, 0) == WAIT_OBJECT_0;
        ::CloseHandle(ready);
        if (!gotReady) {
            return nullptr;
        }
    }
    return peer;
}

CPeerProcess::~CPeerProcess() {
    if (::WaitForSingleObject(m_process.hProcess, 0) != WAIT_OBJECT_0) {
        ::TerminateProcess(m_process.hProcess, 0);
        ::WaitForSingleObject(m_process.hProcess, 10000);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

std::optional<DWORD> CPeerProcess::WaitForExit(std::chrono::milliseconds deadline) {
    if (!WaitForHandle(m_process.hProcess, deadline)) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

HWND CPeerProcess::FindWindowOfClass(const wchar_t* windowClass) const {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, windowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == m_process.dwProcessId) {
            return window;
        }
    }
    return nullptr;
}

std::unique_ptr<CPeerEdits> CPeerEdits::Start(const wchar_t* mode) {
    auto edits = std::make_unique<CPeerEdits>();
    edits->m_peer = CPeerProcess::Start(mode, true);
    if (!edits->m_peer) {
        ADD_FAILURE() << "the test peer's window did not come up";
        return nullptr;
    }
    edits->m_window = edits->m_peer->FindWindowOfClass(kPeerWindowClass);
    edits->m_editable = ::GetDlgItem(edits->m_window, kEditableId);
    edits->m_readOnly = ::GetDlgItem(edits->m_window, kReadOnlyId);
    if (edits->m_editable == nullptr || edits->m_readOnly == nullptr) {
        ADD_FAILURE() << "the test peer's window has no edit controls";
        return nullptr;
    }
    return edits;
}

std::unique_ptr<CPeerEdits> CPeerEdits::OpenHung() {
    return Start(L"hung-edits");
}

std::unique_ptr<CPeerEdits> CPeerEdits::Open() {
    std::unique_ptr<CPeerEdits> edits = Start(L"edits");
    if (!edits) {
        return nullptr;
    }
    // Typing goes to the focus: wait until the peer's window has it.
    if (!PumpUntil([&] { return ::GetForegroundWindow() == edits->m_window; })) {
        ADD_FAILURE() << "the test peer's window did not come to the foreground";
        return nullptr;
    }
    return edits;
}

bool CPeerEdits::WaitForEditableText(const std::wstring& expected, std::wstring& actual) const {
    PumpUntil([&] {
        actual = ControlText(m_editable);
        return actual == expected;
    });
    return actual == expected;
}

}  // namespace quenby::test
