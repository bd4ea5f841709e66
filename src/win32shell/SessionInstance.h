#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

namespace quenby {

// One Quenby per session, as on Linux: the first start owns a named mutex of the session; a
// later start hands its data file (or nothing, to bring the window to the front), or `--stop` /
// `--toggle`, to the running Quenby's main window with WM_COPYDATA and ends.
class CSessionInstance {
public:
    // The mutex's name, in the session's namespace; the uninstaller asks for it too.
    static constexpr wchar_t kMutexName[] = L"Local\\Quenby by Holvane";
    // The property that marks the running Quenby's main window among the session's windows.
    static constexpr wchar_t kWindowProperty[] = L"Quenby by Holvane main window";
    // WM_COPYDATA's dwData for "open this data file (none: come to the front)".
    static constexpr ULONG_PTR kOpenRequest = 0x51454E42;  // "QENB"
    // WM_COPYDATA's dwData for "stop the typing run at once", with no data; the window answers
    // kRunStopped or kNoRunActive (0 is what a window that did not take it answers).
    static constexpr ULONG_PTR kStopRequest = 0x51535450;  // "QSTP"
    // WM_COPYDATA's dwData for "start or stop the run as the shortcut does", with no data.
    static constexpr ULONG_PTR kToggleRequest = 0x5154474C;  // "QTGL"
    static constexpr LRESULT kRunStopped = 1;
    static constexpr LRESULT kNoRunActive = 2;

    CSessionInstance() = default;
    ~CSessionInstance();
    CSessionInstance(const CSessionInstance&) = delete;
    CSessionInstance& operator=(const CSessionInstance&) = delete;

    // Nothing when this start is the session's Quenby and should run; otherwise the exit code it
    // ends with: 0 when it handed the command line's data file (or request) to the running one,
    // 1 when that one did not answer (the user was told). `--stop` and `--toggle` never run a
    // Quenby of their own: they end with 1 when none runs, and `--stop` also when no typing run
    // was active.
    std::optional<int> Claim(const std::wstring& commandLine);

    // The data file of an open request that reached the main window; nothing when the message is
    // not one. An empty path asks only for the window.
    static std::optional<std::filesystem::path> OpenRequest(const COPYDATASTRUCT& data);

    // The request the command line makes of the running Quenby other than opening a file:
    // kStopRequest for `--stop`, kToggleRequest for `--toggle`; nothing for a data file.
    static std::optional<ULONG_PTR> ControlRequest(const std::wstring& commandLine);

private:
    HANDLE m_mutex = nullptr;
};

}  // namespace quenby
