#include "win32shell/MainWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include "app/Commands.h"
#include "app/DialogTemplates.h"
#include "app/QuenbyController.h"
#include "win32/Win32Text.h"
#include "win32shell/DialogSupport.h"
#include "win32shell/ResourceIds.h"
#include "win32shell/SessionInstance.h"

namespace quenby {
namespace {

constexpr int IDC_MESSAGE_LIST = 1000;
constexpr int IDC_COUNT = 1009;
// Posted to itself for each data file another start handed over.
constexpr UINT kOpenRequestMessage = WM_APP + 1;
// Posted to itself for `--toggle` of another start, which may start a run that asks a question.
constexpr UINT kToggleRequestMessage = WM_APP + 2;

template <std::size_t N>
HMENU BuildMenu(const std::array<MenuItem, N>& items) {
    HMENU menu = ::CreatePopupMenu();
    for (const MenuItem& item : items) {
        if (item.m_iCommand == ID_SEPARATOR) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.m_iCommand),
                      WideFromUtf16(item.m_strCaption).c_str());
        if (item.m_bDefault) {
            ::SetMenuDefaultItem(menu, static_cast<UINT>(item.m_iCommand), FALSE);
        }
    }
    return menu;
}

}  // namespace

CMainWindow::~CMainWindow() {
    m_tray.Remove();
    if (m_window != nullptr) {
        ::DestroyWindow(m_window);
    }
    for (HMENU menu : {m_mainMenu, m_trayMenu}) {
        if (menu != nullptr) {
            ::DestroyMenu(menu);
        }
    }
}

bool CMainWindow::Create() {
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr),
                                MAKEINTRESOURCEW(QUENBY_MAIN_DIALOG_ID), nullptr,
                                &DialogProc<CMainWindow, &CMainWindow::m_window>,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CMainWindow::Show() {
    if (!::IsWindowVisible(m_window)) {
        ::ShowWindow(m_window, SW_SHOW);
    }
    ::SetForegroundWindow(m_window);
}

bool CMainWindow::PreTranslate(MSG& message) {
    return m_window != nullptr && ::IsDialogMessageW(m_window, &message) != FALSE;
}

INT_PTR CMainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_uTaskbarCreated && m_uTaskbarCreated != 0) {
        m_tray.Recreate();
        SetRunIcon(m_bRunning);
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_SIZE:
            m_anchors.Apply();
            return TRUE;
        case WM_GETMINMAXINFO:
            m_anchors.LimitTracking(*reinterpret_cast<MINMAXINFO*>(lParam));
            return TRUE;
        case WM_DPICHANGED:
            m_anchors.Rescale(HIWORD(wParam));
            SetWindowIcons(m_window, m_bRunning ? IDI_QUENBY_RUNNING : IDI_QUENBY_IDLE);
            return FALSE;
        case WM_COMMAND:
            OnCommand(wParam);
            return TRUE;
        case WM_NOTIFY:
            ::SetWindowLongPtrW(m_window, DWLP_MSGRESULT,
                                OnNotify(*reinterpret_cast<const NMHDR*>(lParam)));
            return TRUE;
        case WM_CONTEXTMENU:
            TrackMenu(m_mainMenu, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
                // Through the controller, which holds data files handed over meanwhile until the
                // box is closed.
                if (m_pController != nullptr) {
                    m_pController->OnAboutBox();
                } else {
                    ShowAboutBox();
                }
                return TRUE;
            }
            return FALSE;
        case WM_HELP:
            if (m_pController != nullptr) {
                m_pController->OnHelpInfo();
            }
            return TRUE;
        case WM_CLOSE:
            if (m_pController != nullptr) {
                m_pController->OnClose();
            } else {
                DestroyWindow();
            }
            return TRUE;
        case CTrayIcon::kTrayMessage:
            OnTrayNotify(lParam);
            return TRUE;
        case WM_COPYDATA:
            ::SetWindowLongPtrW(m_window, DWLP_MSGRESULT,
                                OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam)));
            return TRUE;
        case kOpenRequestMessage:
            OnOpenRequest();
            return TRUE;
        case kToggleRequestMessage:
            if (m_pController != nullptr) {
                m_pController->OnHotKey();
            }
            return TRUE;
        case WM_DESTROY:
            ::RemovePropW(m_window, CSessionInstance::kWindowProperty);
            return FALSE;
        default:
            return FALSE;
    }
}

void CMainWindow::OnInitDialog() {
    m_uTaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    m_anchors.Capture(m_window, kMainDialog);
    if (HMENU system = ::GetSystemMenu(m_window, FALSE)) {
        wchar_t about[128] = {};
        if (::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, about,
                          static_cast<int>(std::size(about))) > 0) {
            ::AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(system, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetWindowIcons(m_window, IDI_QUENBY_IDLE);
    // How later starts of Quenby find this window.
    ::SetPropW(m_window, CSessionInstance::kWindowProperty, reinterpret_cast<HANDLE>(1));
    // Also when this Quenby runs as administrator and the later start does not.
    ::ChangeWindowMessageFilterEx(m_window, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
    m_list = Control(IDC_MESSAGE_LIST);
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        const MessageColumn& heading = kMessageColumns[static_cast<std::size_t>(column)];
        std::wstring text = WideFromUtf16(heading.m_strHeading);
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        entry.fmt = LVCFMT_LEFT;
        entry.cx = heading.m_iDefaultWidth;
        entry.pszText = text.data();
        ::SendMessageW(m_list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                       reinterpret_cast<LPARAM>(&entry));
    }
    // Digits only, as the template says; the count is far below the edit's own limit.
    ::SendMessageW(Control(IDC_COUNT), EM_SETLIMITTEXT, 10, 0);
    m_mainMenu = BuildMenu(kMainMenu);
    if (m_tray.Add(m_window, LoadProgramIcon(m_window, IDI_QUENBY_IDLE, true))) {
        m_trayMenu = BuildMenu(kTrayMenu);
    }
}

void CMainWindow::OnCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (m_pController == nullptr) {
        return;
    }
    switch (id) {
        case IDCANCEL:  // Esc neither closes nor hides the window
        case IDOK:
            return;
        case IDC_MENU: {
            POINT cursor{};
            ::GetCursorPos(&cursor);
            TrackMenu(m_mainMenu, cursor);
            return;
        }
        case IDC_COUNT:
            if (code == EN_CHANGE) {
                m_pController->OnCountChanged();
            }
            return;
        default:
            // Buttons (BN_CLICKED is 0) and menu commands; the check box and the hot-key
            // control need nothing until they are read.
            if (code == 0) {
                m_pController->OnCommand(id);
            }
            return;
    }
}

LRESULT CMainWindow::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_MESSAGE_LIST || m_pController == nullptr) {
        return 0;
    }
    if (header.code == LVN_GETDISPINFOW) {
        LVITEMW& item =
            const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
        const CMessageList& list = m_pController->List();
        if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0 &&
            item.iItem >= 0 && static_cast<std::size_t>(item.iItem) < list.GetItemCount()) {
            m_strCell = WideFromUtf16(
                list.GetCellText(static_cast<std::size_t>(item.iItem), item.iSubItem));
            ::lstrcpynW(item.pszText, m_strCell.c_str(), item.cchTextMax);
        }
    } else if (header.code == NM_DBLCLK) {
        // Anywhere on the list, on a row or not.
        m_pController->OnCommand(IDC_EDIT_SELECTED);
    }
    return 0;
}

void CMainWindow::OnTrayNotify(LPARAM lParam) {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    switch (LOWORD(lParam)) {
        case WM_RBUTTONUP: {
            ::SetForegroundWindow(m_window);
            // Stop Now heads the menu while a run is active, and only then.
            const bool running = m_pController != nullptr && m_pController->IsRunActive();
            if (running && m_trayMenu != nullptr) {
                ::InsertMenuW(m_trayMenu, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
                ::InsertMenuW(m_trayMenu, 0, MF_BYPOSITION | MF_STRING,
                              static_cast<UINT_PTR>(kStopNowMenuItem.m_iCommand),
                              WideFromUtf16(kStopNowMenuItem.m_strCaption).c_str());
            }
            TrackMenu(m_trayMenu, cursor);
            if (running && m_trayMenu != nullptr) {
                ::DeleteMenu(m_trayMenu, 0, MF_BYPOSITION);
                ::DeleteMenu(m_trayMenu, 0, MF_BYPOSITION);
            }
            break;
        }
        case WM_LBUTTONDBLCLK:
            if (m_pController != nullptr) {
                m_pController->OnCommand(ID_CONFIGURE);
            }
            break;
        default:
            break;
    }
}

LRESULT CMainWindow::OnCopyData(const COPYDATASTRUCT& data) {
    if (data.dwData == CSessionInstance::kStopRequest) {
        // At once, while the other start waits for the answer: stopping asks nothing.
        const bool stopped = m_pController != nullptr && m_pController->OnStopNow();
        return stopped ? CSessionInstance::kRunStopped : CSessionInstance::kNoRunActive;
    }
    if (data.dwData == CSessionInstance::kToggleRequest) {
        ::PostMessageW(m_window, kToggleRequestMessage, 0, 0);
        return TRUE;
    }
    std::optional<std::filesystem::path> path = CSessionInstance::OpenRequest(data);
    if (!path) {
        return FALSE;
    }
    m_pendingOpens.push_back(std::move(*path));
    ::PostMessageW(m_window, kOpenRequestMessage, 0, 0);
    return TRUE;
}

void CMainWindow::OnOpenRequest() {
    if (m_pendingOpens.empty() || m_pController == nullptr) {
        return;
    }
    const std::filesystem::path path = std::move(m_pendingOpens.front());
    m_pendingOpens.pop_front();
    // Shown and in front, from the notification area too, as the tray's own command does.
    m_pController->OnCommand(ID_CONFIGURE);
    if (!path.empty()) {
        m_pController->OnOpenDataFile(path);
    }
}

void CMainWindow::TrackMenu(HMENU menu, POINT at) {
    if (menu == nullptr) {
        return;
    }
    ::TrackPopupMenu(menu, 0, at.x, at.y, 0, m_window, nullptr);
    // So that a menu opened from the notification area closes when the user clicks elsewhere.
    ::PostMessageW(m_window, WM_NULL, 0, 0);
}

}  // namespace quenby
