#include "qt/QuenbyDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QScreen>

#include "app/QuenbyController.h"
#include "qt/DlgAutoTextMessage.h"
#include "qt/DlgInputMethod.h"
#include "qt/QtText.h"

namespace quenby {
namespace {

const QString kAboutItem = QObject::tr("&About Quenby...");
constexpr int kAboutCommand = 16;
// Controls of the main window's template that are no command.
constexpr int kListId = 1000;
constexpr int kHotKeyId = 1005;
constexpr int kCountId = 1009;
constexpr int kRandomOrderId = 1018;

}  // namespace

CQuenbyDlg::CQuenbyDlg()
    : m_idleIcon(":/icons/quenby-idle.svg"), m_runningIcon(":/icons/quenby-running.svg") {
    m_layout =
        std::make_unique<CDialogLayout>(this, QSize(kMainDialog.m_iWidth, kMainDialog.m_iHeight));
    m_layout->Build(kMainDialog);
    m_pList = m_layout->Control<QTableView>(kListId);
    m_pList->setModel(&m_model);
    m_pList->setShowGrid(true);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->verticalHeader()->hide();
    m_pList->verticalHeader()->setDefaultSectionSize(m_pList->fontMetrics().height() + 4);
    m_pList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    m_pList->horizontalHeader()->setStretchLastSection(false);
    m_pList->setContextMenuPolicy(Qt::NoContextMenu);
    m_pList->viewport()->installEventFilter(this);
    m_pAddNew = m_layout->Control<QPushButton>(IDC_ADD_NEW);
    // The main window is no dialog: Enter is handled in keyPressEvent.
    m_pAddNew->setDefault(false);
    m_pEditSelected = m_layout->Control<QPushButton>(IDC_EDIT_SELECTED);
    m_pDeleteSelected = m_layout->Control<QPushButton>(IDC_DELETE_SELECTED);
    m_pHideToTray = m_layout->Control<QPushButton>(IDC_HIDE_TO_TRAY);
    m_pHotKey = m_layout->Control<CHotKeyEdit>(kHotKeyId);
    m_pAssign = m_layout->Control<QPushButton>(IDC_ASSIGN_HOTKEY);
    m_pClear = m_layout->Control<QPushButton>(IDC_CLEAR_HOTKEY);
    m_pCount = m_layout->Control<QLineEdit>(kCountId);
    m_pMenuButton = m_layout->Control<QPushButton>(IDC_MENU);
    m_pRandomOrder = m_layout->Control<QCheckBox>(kRandomOrderId);

    m_pMainMenu = BuildMenu(kMainMenu.data(), kMainMenu.size(), true);
    m_pTrayMenu = BuildMenu(kTrayMenu.data(), kTrayMenu.size(), false);
    m_pStopNow = new QAction(ToQString(kStopNowMenuItem.m_strCaption), m_pTrayMenu);
    m_pStopNow->setData(ID_STOP_NOW);
    m_pStopNow->setVisible(false);
    m_pTrayMenu->insertAction(m_pTrayMenu->actions().value(0), m_pStopNow);
    connect(m_pStopNow, &QAction::triggered, this, [this] {
        if (m_pController != nullptr) {
            m_pController->OnCommand(ID_STOP_NOW);
        }
    });

    auto forward = [this](QPushButton* button, int command) {
        connect(button, &QPushButton::clicked, this, [this, command] {
            if (m_pController != nullptr) {
                m_pController->OnCommand(command);
            }
        });
    };
    forward(m_pAddNew, IDC_ADD_NEW);
    forward(m_pEditSelected, IDC_EDIT_SELECTED);
    forward(m_pDeleteSelected, IDC_DELETE_SELECTED);
    forward(m_pHideToTray, IDC_HIDE_TO_TRAY);
    forward(m_pAssign, IDC_ASSIGN_HOTKEY);
    forward(m_pClear, IDC_CLEAR_HOTKEY);
    connect(m_pMenuButton, &QPushButton::clicked, this,
            [this] { m_pMainMenu->popup(QCursor::pos()); });
    connect(m_pCount, &QLineEdit::textChanged, this, [this] {
        if (m_pController != nullptr) {
            m_pController->OnCountChanged();
        }
    });

    setWindowIcon(m_idleIcon);
    resize(m_layout->InitialSize());
    setMinimumSize(m_layout->InitialSize());
}

CQuenbyDlg::~CQuenbyDlg() = default;

void CQuenbyDlg::SetController(CQuenbyController* controller) {
    m_pController = controller;
    m_model.SetList(controller != nullptr ? &controller->List() : nullptr);
}

QMenu* CQuenbyDlg::BuildMenu(const MenuItem* items, std::size_t count, bool withAbout) {
    auto* menu = new QMenu(this);
    for (std::size_t i = 0; i < count; ++i) {
        const MenuItem& item = items[i];
        if (item.m_iCommand == ID_SEPARATOR) {
            menu->addSeparator();
            continue;
        }
        // Linux windows have no system menu of their own: the About item goes before Exit here.
        if (withAbout && item.m_iCommand == ID_EXIT) {
            QAction* about = menu->addAction(kAboutItem);
            connect(about, &QAction::triggered, this, [this] { ShowAboutBox(); });
            about->setData(kAboutCommand);
            menu->addSeparator();
        }
        QAction* action = menu->addAction(ToQString(item.m_strCaption));
        action->setData(item.m_iCommand);
        if (item.m_bDefault) {
            QFont bold = action->font();
            bold.setBold(true);
            action->setFont(bold);
            menu->setDefaultAction(action);
        }
        connect(action, &QAction::triggered, this, [this, command = item.m_iCommand] {
            if (m_pController != nullptr) {
                m_pController->OnCommand(command);
            }
        });
    }
    return menu;
}

void CQuenbyDlg::AddTrayIcon() {
    // Shown even while no notification area runs: Qt docks the icon in one that starts later
    // (a panel that starts after us, or one that restarts). Hiding looks at the area each time.
    m_tray = std::make_unique<QSystemTrayIcon>(m_idleIcon);
    m_tray->setToolTip(ToQString(kAppTitle));
    m_tray->setContextMenu(m_pTrayMenu);
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick && m_pController != nullptr) {
                    m_pController->OnCommand(ID_CONFIGURE);
                }
            });
    m_tray->show();
}

int CQuenbyDlg::RunDialog(QDialog& dialog) {
    if (m_onDialog) {
        QMetaObject::invokeMethod(
            &dialog, [this, &dialog] { m_onDialog(dialog); }, Qt::QueuedConnection);
    }
    return dialog.exec();
}

EMessageResult CQuenbyDlg::ShowMessage(std::u16string_view text, EMessageIcon icon,
                                       EMessageButtons buttons) {
    return ShowMessageBox(this, text, icon, buttons);
}

bool CQuenbyDlg::ShowSuppressibleNotice(std::u16string_view text) {
    CMessageBox box(this);
    box.setWindowTitle(ToQString(kAppTitle));
    box.setIcon(QMessageBox::Information);
    box.setText(ToQString(text));
    auto* check = new QCheckBox(tr("Do not show this message again"));
    box.setCheckBox(check);
    RunDialog(box);
    return check->isChecked();
}

std::optional<std::filesystem::path> CQuenbyDlg::ChooseFile(EFileDialog kind) {
    QFileDialog dialog(this);
    switch (kind) {
        case EFileDialog::SaveDataFile:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setNameFilter(tr("Quenby Unencrypted Data Files (*.quenbydata)"));
            // No default suffix: a desktop's native dialog would check the name as typed and
            // Qt add the suffix afterwards. The controller adds it and asks about that file.
            break;
        case EFileDialog::LoadDataFile:
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setNameFilter(tr("Quenby Unencrypted Data Files (*.quenbydata)"));
            break;
        case EFileDialog::AppendTextFile:
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setNameFilter(tr("Simple Text Files (*.txt)"));
            break;
    }
    if (RunDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(dialog.selectedFiles().first().toStdString());
}

void CQuenbyDlg::ShowAboutBox() {
    CAboutDlg about(this);
    RunDialog(about);
}

bool CQuenbyDlg::RunMessageEditor(CMessageEditorPresenter& editor) {
    CDlgAutoTextMessage dialog(editor, this);
    return RunDialog(dialog) == QDialog::Accepted;
}

void CQuenbyDlg::RunSettingsDialog(CSettingsPresenter& settings) {
    CDlgInputMethod dialog(settings, this);
    RunDialog(dialog);
}

void CQuenbyDlg::SetCaption(std::u16string_view caption) {
    setWindowTitle(ToQString(caption));
}

void CQuenbyDlg::ShowRunNotice(std::u16string_view text) {
    if (m_tray && m_tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable() &&
        QSystemTrayIcon::supportsMessages()) {
        m_tray->showMessage(ToQString(kAppTitle), ToQString(text), QSystemTrayIcon::Information);
        return;
    }
    // Without a notification area: a box that waits for no answer, so nothing is held up.
    auto* box = new QMessageBox(QMessageBox::Information, ToQString(kAppTitle), ToQString(text),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

void CQuenbyDlg::SetRunIcon(bool running) {
    m_pStopNow->setVisible(running);
    const QIcon& icon = running ? m_runningIcon : m_idleIcon;
    setWindowIcon(icon);
    if (m_tray) {
        m_tray->setIcon(icon);
    }
}

void CQuenbyDlg::RefreshList() {
    m_model.Reset();
}

std::optional<std::size_t> CQuenbyDlg::GetSelectedRow() {
    const QModelIndexList rows = m_pList->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(rows.first().row());
}

void CQuenbyDlg::ClearSelection() {
    m_pList->clearSelection();
}

int CQuenbyDlg::GetColumnWidth(int column) {
    return m_pList->columnWidth(column);
}

void CQuenbyDlg::SetColumnWidth(int column, int width) {
    m_pList->setColumnWidth(column, width);
}

int CQuenbyDlg::FitDefaultColumnWidth(int column, int defaultWidth) {
    return std::max(defaultWidth, m_pList->horizontalHeader()->sectionSizeHint(column));
}

std::u16string CQuenbyDlg::GetCountText() {
    return ToU16(m_pCount->text());
}

void CQuenbyDlg::SetCountText(std::u16string_view text) {
    m_pCount->setText(ToQString(text));
}

bool CQuenbyDlg::GetRandomOrderCheck() {
    return m_pRandomOrder->isChecked();
}

void CQuenbyDlg::SetRandomOrderCheck(bool checked) {
    m_pRandomOrder->setChecked(checked);
}

HotKeyCapture CQuenbyDlg::GetHotKeyControl() {
    return m_pHotKey->HotKey();
}

void CQuenbyDlg::SetHotKeyControl(const HotKeyCapture& hotKey) {
    m_pHotKey->SetHotKey(hotKey);
}

void CQuenbyDlg::SetHotKeyHint(std::u16string_view hint) {
    // The window's layout has no free line there: the hint goes where the eye and the mouse go,
    // into the empty field and onto the field and its buttons.
    const QString text = ToQString(hint);
    m_pHotKey->setPlaceholderText(text);
    for (QWidget* widget : {static_cast<QWidget*>(m_pHotKey), static_cast<QWidget*>(m_pAssign),
                            static_cast<QWidget*>(m_pClear)}) {
        widget->setToolTip(text);
    }
}

std::vector<std::uint8_t> CQuenbyDlg::GetPlacement() {
    const QByteArray geometry = saveGeometry();
    return std::vector<std::uint8_t>(geometry.begin(), geometry.end());
}

void CQuenbyDlg::ApplyPlacement(const std::vector<std::uint8_t>& placement) {
    restoreGeometry(QByteArray(reinterpret_cast<const char*>(placement.data()),
                               static_cast<qsizetype>(placement.size())));
}

bool CQuenbyDlg::IsMinimized() {
    return isMinimized() || isHidden();
}

void CQuenbyDlg::HideToTray() {
    if (m_tray && QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        hide();
    } else {
        showMinimized();  // no notification area: the taskbar keeps a handle on the window
    }
}

void CQuenbyDlg::RestoreWindow() {
    showNormal();
    raise();
    activateWindow();
}

void CQuenbyDlg::CopyWindowImageToClipboard() {
    QGuiApplication::clipboard()->setPixmap(grab());
}

void CQuenbyDlg::DestroyWindow() {
    m_bClosing = true;
    if (m_tray) {
        m_tray->hide();
    }
    close();
    QApplication::quit();
}

void CQuenbyDlg::closeEvent(QCloseEvent* event) {
    if (m_bClosing || m_pController == nullptr) {
        event->accept();
        return;
    }
    // The controller decides, and destroys the window when it may close.
    event->ignore();
    m_pController->OnClose();
}

void CQuenbyDlg::keyPressEvent(QKeyEvent* event) {
    // Esc does nothing; Enter is the default button, Add New, wherever the focus is but in the
    // shortcut field (which takes the key itself).
    if (event->key() == Qt::Key_Escape) {
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        m_pAddNew->click();
        return;
    }
    if (event->key() == Qt::Key_F1 && m_pController != nullptr) {
        m_pController->OnHelpInfo();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CQuenbyDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_layout->Apply();
}

void CQuenbyDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_pMainMenu->popup(event->globalPos());
}

bool CQuenbyDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pList->viewport()) {
        if (event->type() == QEvent::MouseButtonDblClick && m_pController != nullptr) {
            // Anywhere on the list, on a row or not.
            QMetaObject::invokeMethod(
                this, [this] { m_pController->OnCommand(IDC_EDIT_SELECTED); },
                Qt::QueuedConnection);
            return false;
        }
        if (event->type() == QEvent::ContextMenu) {
            m_pMainMenu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quenby
