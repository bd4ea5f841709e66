#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "support/Win32TestSupport.h"

namespace quenby::test {

// Quenby.exe of the build in a process of its own, ended when the object goes.
class CQuenbyProcess {
public:
    // Starts the program with the command line after its name; nothing when it did not start.
    static std::unique_ptr<CQuenbyProcess> Start(const std::wstring& arguments);
    ~CQuenbyProcess();
    CQuenbyProcess(const CQuenbyProcess&) = delete;
    CQuenbyProcess& operator=(const CQuenbyProcess&) = delete;

    // The program's visible main window, waited for; null at the deadline.
    HWND WaitForMainWindow(std::chrono::milliseconds deadline = kDeadline);
    // A visible top-level window of the program other than the main window whose caption starts
    // with `captionStart`, waited for; null at the deadline.
    HWND WaitForDialog(const std::wstring& captionStart,
                       std::chrono::milliseconds deadline = kDeadline);
    // The exit code, or nothing when the program is still running at the deadline.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds deadline = kDeadline);
    DWORD ProcessId() const { return m_process.dwProcessId; }

private:
    explicit CQuenbyProcess(const PROCESS_INFORMATION& process) : m_process(process) {}
    HWND FindWindowWhere(bool mainWindow, const std::wstring& captionStart) const;

    PROCESS_INFORMATION m_process;
    HWND m_main = nullptr;
};

// Presses a button of a window of another process the way a click does, without waiting for
// what it opens (a modal dialog would block a sent message).
void ClickButton(HWND dialog, int id);
// The child window of `parent` with the text, or null.
HWND FindChildWithText(HWND parent, const std::wstring& text);
// The path of the program under test.
std::wstring QuenbyProgramPath();

}  // namespace quenby::test
