#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/TextSetter.h"

namespace quenby::test {

// Generous: Wine on a loaded machine may take seconds for what Windows does at once.
inline constexpr std::chrono::milliseconds kDeadline{20000};

// True under Wine, where a few Windows behaviours cannot be checked.
bool RunningUnderWine();

// Handles this thread's messages until `done` is true or the deadline passes; returns done().
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline = kDeadline);

// The text of a control of any process (WM_GETTEXT is carried across processes).
std::wstring ControlText(HWND control);

// The screen point at the middle of a window.
ScreenPoint CentreOf(HWND window);

// The test peer (quenby_test_peer.exe beside the test program) in a process of its own, ended
// when the object goes.
class CPeerProcess {
public:
    // Starts the peer with the arguments; when `signalsReady`, a named event is passed last and
    // the start waits until the peer sets it. Nothing when the peer did not start or get ready.
    static std::unique_ptr<CPeerProcess> Start(const std::wstring& arguments, bool signalsReady);
    ~CPeerProcess();
    CPeerProcess(const CPeerProcess&) = delete;
    CPeerProcess& operator=(const CPeerProcess&) = delete;

    // The exit code, or nothing when the peer is still running at the deadline.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds deadline = kDeadline);
    // The peer's top-level window of the class, or null when it has none.
    HWND FindWindowOfClass(const wchar_t* windowClass) const;

private:
    explicit CPeerProcess(const PROCESS_INFORMATION& process) : m_process(process) {}
    PROCESS_INFORMATION m_process;
};

// The test peer's window with an editable and a read-only EDIT control, focused and in front.
class CPeerEdits {
public:
    // Nothing (with a failed expectation) when the window did not come up.
    static std::unique_ptr<CPeerEdits> Open();
    // The same window, whose thread stops answering once it is up (it is not brought to the
    // foreground).
    static std::unique_ptr<CPeerEdits> OpenHung();

    HWND Window() const { return m_window; }
    HWND Editable() const { return m_editable; }
    HWND ReadOnly() const { return m_readOnly; }
    // Waits until the editable control holds the text; false (with what it holds) at the deadline.
    bool WaitForEditableText(const std::wstring& expected, std::wstring& actual) const;

private:
    static std::unique_ptr<CPeerEdits> Start(const wchar_t* mode);

    std::unique_ptr<CPeerProcess> m_peer;
    HWND m_window = nullptr;
    HWND m_editable = nullptr;
    HWND m_readOnly = nullptr;
};

}  // namespace quenby::test
