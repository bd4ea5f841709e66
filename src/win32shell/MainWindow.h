#pragma once

#include <windows.h>

#include <deque>
#include <filesystem>
#include <string>

#include "app/MainView.h"
#include "win32shell/DialogAnchors.h"
#include "win32shell/TrayIcon.h"

namespace quenby {

class CQuenbyController;

// The main window: a modeless dialog from its template that draws what the controller says and
// forwards every button, menu command and notification to it. The list view holds no rows of its
// own (owner data): it asks the controller's list for each cell it paints.
class CMainWindow final : public IMainView {
public:
    CMainWindow() = default;
    ~CMainWindow() override;
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    // Makes the (still hidden) window with its controls, icons, menus and tray icon; false when
    // the window could not be made.
    bool Create();
    // The controller the window forwards to; set before the window is shown.
    void SetController(CQuenbyController* controller) { m_pController = controller; }
    // Shows the window as its placement says, or normally when none was applied.
    void Show();
    HWND Window() const { return m_window; }
    // True for the messages of the window's dialog keys (Tab, Enter, mnemonics): the loop must
    // not dispatch those again.
    bool PreTranslate(MSG& message);

    // IMainView
    EMessageResult ShowMessage(std::u16string_view text, EMessageIcon icon,
                               EMessageButtons buttons) override;
    bool ShowSuppressibleNotice(std::u16string_view text) override;
    // In a balloon by the tray icon; in a message box where there is no tray icon.
    void ShowRunNotice(std::u16string_view text) override;
    std::optional<std::filesystem::path> ChooseFile(EFileDialog kind) override;
    void ShowAboutBox() override;
    bool RunMessageEditor(CMessageEditorPresenter& editor) override;
    void RunSettingsDialog(CSettingsPresenter& settings) override;
    void SetCaption(std::u16string_view caption) override;
    void SetRunIcon(bool running) override;
    void RefreshList() override;
    std::optional<std::size_t> GetSelectedRow() override;
    void ClearSelection() override;
    int GetColumnWidth(int column) override;
    void SetColumnWidth(int column, int width) override;
    int FitDefaultColumnWidth(int column, int defaultWidth) override;
    std::u16string GetCountText() override;
    void SetCountText(std::u16string_view text) override;
    bool GetRandomOrderCheck() override;
    void SetRandomOrderCheck(bool checked) override;
    HotKeyCapture GetHotKeyControl() override;
    void SetHotKeyControl(const HotKeyCapture& hotKey) override;
    void SetHotKeyHint(std::u16string_view hint) override;
    std::vector<std::uint8_t> GetPlacement() override;
    void ApplyPlacement(const std::vector<std::uint8_t>& placement) override;
    bool IsMinimized() override;
    void HideToTray() override;
    void RestoreWindow() override;
    void CopyWindowImageToClipboard() override;
    void DestroyWindow() override;

private:
    template <class T, HWND T::*kWindow>
    friend INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(WPARAM wParam);
    LRESULT OnNotify(const NMHDR& header);
    void OnTrayNotify(LPARAM lParam);
    // Another start of Quenby handed over a data file (or none): taken after the message that
    // brought it has returned, so that start ends at once whatever the file leads to. A stop
    // request is taken at once and answered with whether a run was active; a toggle, as the
    // shortcut, after the message. The answer is the message's result (0: not taken).
    LRESULT OnCopyData(const COPYDATASTRUCT& data);
    void OnOpenRequest();
    // The menu at a screen point; the chosen command goes to the controller.
    void TrackMenu(HMENU menu, POINT at);
    HWND Control(int id) const { return ::GetDlgItem(m_window, id); }

    HWND m_window = nullptr;
    HWND m_list = nullptr;
    CQuenbyController* m_pController = nullptr;
    CDialogAnchors m_anchors;
    CTrayIcon m_tray;
    HMENU m_mainMenu = nullptr;
    HMENU m_trayMenu = nullptr;
    UINT m_uTaskbarCreated = 0;
    bool m_bRunning = false;
    bool m_bPlacementApplied = false;
    // The text of the cell last handed to the list view, alive until it asks for the next one.
    std::wstring m_strCell;
    // Data files handed over by other starts, oldest first, not yet taken.
    std::deque<std::filesystem::path> m_pendingOpens;
};

}  // namespace quenby
