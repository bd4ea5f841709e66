#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QWidget>
#include <memory>

#include "app/Commands.h"
#include "app/MainView.h"
#include "engine/MessageList.h"
#include "qt/DialogLayout.h"
#include "qt/HotKeyEdit.h"
#include "qt/MessageListModel.h"

namespace quenby {

class CQuenbyController;

// The main window: draws the list, the buttons, the shortcut and count boxes, the menus and the
// tray icon, forwards every event to the controller, and does what the controller asks.
class CQuenbyDlg final : public QWidget, public IMainView {
public:
    CQuenbyDlg();
    ~CQuenbyDlg() override;

    // The controller whose list the window shows and to which it forwards its events.
    void SetController(CQuenbyController* controller);
    // The notification-area icon, where the desktop has a notification area.
    void AddTrayIcon();

    // IMainView
    EMessageResult ShowMessage(std::u16string_view text, EMessageIcon icon,
                               EMessageButtons buttons) override;
    bool ShowSuppressibleNotice(std::u16string_view text) override;
    std::optional<std::filesystem::path> ChooseFile(EFileDialog kind) override;
    void ShowAboutBox() override;
    bool RunMessageEditor(CMessageEditorPresenter& editor) override;
    void RunSettingsDialog(CSettingsPresenter& settings) override;
    void ShowRunNotice(std::u16string_view text) override;
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

    // The controls, for the tests.
    QTableView* m_pList;
    QPushButton* m_pAddNew;
    QPushButton* m_pEditSelected;
    QPushButton* m_pDeleteSelected;
    QPushButton* m_pHideToTray;
    CHotKeyEdit* m_pHotKey;
    QPushButton* m_pAssign;
    QPushButton* m_pClear;
    QLineEdit* m_pCount;
    QCheckBox* m_pRandomOrder;
    QPushButton* m_pMenuButton;
    QMenu* m_pMainMenu;
    QMenu* m_pTrayMenu;
    QAction* m_pStopNow;  // at the top of the tray menu while a run is active
    // Set when a modal dialog opens, so tests can answer it.
    std::function<void(QDialog&)> m_onDialog;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMenu* BuildMenu(const MenuItem* items, std::size_t count, bool withAbout);
    int RunDialog(QDialog& dialog);

    CQuenbyController* m_pController = nullptr;
    std::unique_ptr<CDialogLayout> m_layout;
    CMessageListModel m_model;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QIcon m_idleIcon;
    QIcon m_runningIcon;
    bool m_bClosing = false;
};

}  // namespace quenby
