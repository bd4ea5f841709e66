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

// A program of the build in a process of its own, ended when the object goes.
class CProcess {
public:
    // Starts the program (a path from the test program's folder) with the arguments; when
    // `signalsReady`, a named event is passed last and the start waits until the program sets it.
    // Nothing when the program did not start or get ready.
    static std::unique_ptr<CProcess> Start(const std::wstring& program,
                                           const std::wstring& arguments,
                                           bool signalsReady = false);
    ~CProcess();
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    // The exit code, or nothing when the process is still running at the deadline.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds deadline = kDeadline);
    // A visible top-level window of the process that `match` takes, waited for; null at the
    // deadline or when the process ended.
    HWND WaitForWindow(const std::function<bool(HWND)>& match,
                       std::chrono::milliseconds deadline = kDeadline) const;

private:
    explicit CProcess(const PROCESS_INFORMATION& process) : m_process(process) {}
    PROCESS_INFORMATION m_process;
};

// The test peer, quenby_test_peer.exe, in one of its modes (see apps/TestPeer.cpp).
std::unique_ptr<CProcess> StartPeer(const std::wstring& arguments, bool signalsReady = false);
// The peer presses the combination (MOD_ flags) in a process of its own; true once it has.
bool PressInAnotherProcess(WORD key, UINT modifiers);

// The test peer's window with an editable and a read-only EDIT control, the editable one focused.
struct PeerEdits {
    // In front, or (`hung`) not brought there and with its thread no longer answering once it is
    // up. Nothing (with a failed expectation) when it did not come up.
    static std::unique_ptr<PeerEdits> Open(bool hung = false);
    // Waits until the editable control holds the text; false (with what it holds) at the deadline.
    bool WaitForEditableText(const std::wstring& expected, std::wstring& actual) const;

    std::unique_ptr<CProcess> m_process;
    HWND m_window = nullptr;
    HWND m_editable = nullptr;
    HWND m_readOnly = nullptr;
};

}  // namespace quenby::test
