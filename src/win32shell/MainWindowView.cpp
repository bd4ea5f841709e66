// What the controller asks of the main window (IMainView), on the window's controls.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "app/QuenbyController.h"
#include "win32/Win32Text.h"
#include "win32shell/AboutBox.h"
#include "win32shell/DialogSupport.h"
#include "win32shell/MainWindow.h"
#include "win32shell/MessageEditorDialog.h"
#include "win32shell/Prompts.h"
#include "win32shell/ResourceIds.h"
#include "win32shell/SettingsDialog.h"

#ifndef PW_RENDERFULLCONTENT
#define PW_RENDERFULLCONTENT 0x00000002
#endif

namespace quenby {
namespace {

constexpr int IDC_HOTKEY = 1005;
constexpr int IDC_COUNT = 1009;
constexpr int IDC_RANDOM_ORDER = 1018;
// Room around a heading's text, as the list view leaves it (at 96 DPI).
constexpr int kHeadingPadding = 16;

}  // namespace

EMessageResult CMainWindow::ShowMessage(std::u16string_view text, EMessageIcon icon,
                                        EMessageButtons buttons) {
    return ShowMessageBox(m_window, text, icon, buttons);
}

void CMainWindow::ShowRunNotice(std::u16string_view text) {
    // A message box would take the focus from the application the user types in.
    if (!m_tray.ShowBalloon(WideFromUtf16(text))) {
        ShowMessage(text, EMessageIcon::Information, EMessageButtons::Ok);
    }
}

bool CMainWindow::ShowSuppressibleNotice(std::u16string_view text) {
    return quenby::ShowSuppressibleNotice(m_window, text);
}

std::optional<std::filesystem::path> CMainWindow::ChooseFile(EFileDialog kind) {
    return quenby::ChooseFile(m_window, kind);
}

void CMainWindow::ShowAboutBox() {
    quenby::ShowAboutBox(m_window);
}

bool CMainWindow::RunMessageEditor(CMessageEditorPresenter& editor) {
    return CMessageEditorDialog(editor).Run(m_window);
}

void CMainWindow::RunSettingsDialog(CSettingsPresenter& settings) {
    CSettingsDialog(settings).Run(m_window);
}

void CMainWindow::SetCaption(std::u16string_view caption) {
    ::SetWindowTextW(m_window, WideFromUtf16(caption).c_str());
}

void CMainWindow::SetRunIcon(bool running) {
    m_bRunning = running;
    const int icon = running ? IDI_QUENBY_RUNNING : IDI_QUENBY_IDLE;
    SetWindowIcons(m_window, icon);
    m_tray.SetIcon(LoadProgramIcon(m_window, icon, true));
}

void CMainWindow::RefreshList() {
    const std::size_t rows = m_pController != nullptr ? m_pController->List().GetItemCount() : 0;
    // Owner data: only the count is handed over, the rows are read as they are painted.
    ListView_SetItemCountEx(m_list, static_cast<int>(std::min<std::size_t>(rows, INT_MAX)),
                            LVSICF_NOSCROLL);
    ::InvalidateRect(m_list, nullptr, TRUE);
}

std::optional<std::size_t> CMainWindow::GetSelectedRow() {
    const int row = ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
    if (row < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(row);
}

void CMainWindow::ClearSelection() {
    ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED);
}

int CMainWindow::GetColumnWidth(int column) {
    return ListView_GetColumnWidth(m_list, column);
}

void CMainWindow::SetColumnWidth(int column, int width) {
    ListView_SetColumnWidth(m_list, column, width);
}

int CMainWindow::FitDefaultColumnWidth(int column, int defaultWidth) {
    const int dpi = static_cast<int>(::GetDpiForWindow(m_window));
    const std::wstring heading =
        WideFromUtf16(kMessageColumns[static_cast<std::size_t>(column)].m_strHeading);
    const int needed =
        ListView_GetStringWidth(m_list, heading.c_str()) + ::MulDiv(kHeadingPadding, dpi, 96);
    return std::max(::MulDiv(defaultWidth, dpi, 96), needed);
}

std::u16string CMainWindow::GetCountText() {
    return ControlText(m_window, IDC_COUNT);
}

void CMainWindow::SetCountText(std::u16string_view text) {
    SetControlText(m_window, IDC_COUNT, text);
}

bool CMainWindow::GetRandomOrderCheck() {
    return IsChecked(m_window, IDC_RANDOM_ORDER);
}

void CMainWindow::SetRandomOrderCheck(bool checked) {
    SetChecked(m_window, IDC_RANDOM_ORDER, checked);
}

HotKeyCapture CMainWindow::GetHotKeyControl() {
    const auto value = static_cast<WORD>(::SendMessageW(Control(IDC_HOTKEY), HKM_GETHOTKEY, 0, 0));
    const BYTE modifiers = HIBYTE(value);
    HotKeyCapture capture;
    capture.m_wVirtualKey = LOBYTE(value);
    capture.m_bShift = (modifiers & HOTKEYF_SHIFT) != 0;
    capture.m_bControl = (modifiers & HOTKEYF_CONTROL) != 0;
    capture.m_bAlt = (modifiers & HOTKEYF_ALT) != 0;
    capture.m_bExtendedKey = (modifiers & HOTKEYF_EXT) != 0;
    return capture;
}

void CMainWindow::SetHotKeyControl(const HotKeyCapture& hotKey) {
    // The control knows no Windows key: such a shortcut shows without it.
    const BYTE modifiers = static_cast<BYTE>(
        (hotKey.m_bShift ? HOTKEYF_SHIFT : 0) | (hotKey.m_bControl ? HOTKEYF_CONTROL : 0) |
        (hotKey.m_bAlt ? HOTKEYF_ALT : 0) | (hotKey.m_bExtendedKey ? HOTKEYF_EXT : 0));
    ::SendMessageW(Control(IDC_HOTKEY), HKM_SETHOTKEY,
                   MAKEWORD(static_cast<BYTE>(hotKey.m_wVirtualKey), modifiers), 0);
}

void CMainWindow::SetHotKeyHint(std::u16string_view) {
    // Windows always registers a shortcut with the system itself, so the behaviour never has a
    // hint about binding start/stop elsewhere to give here.
}

std::vector<std::uint8_t> CMainWindow::GetPlacement() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    ::GetWindowPlacement(m_window, &placement);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&placement);
    return std::vector<std::uint8_t>(bytes, bytes + sizeof placement);
}

void CMainWindow::ApplyPlacement(const std::vector<std::uint8_t>& placement) {
    if (placement.size() != sizeof(WINDOWPLACEMENT)) {
        return;
    }
    WINDOWPLACEMENT restored{};
    std::memcpy(&restored, placement.data(), sizeof restored);
    restored.length = sizeof restored;
    ::SetWindowPlacement(m_window, &restored);
}

bool CMainWindow::IsMinimized() {
    return ::IsIconic(m_window) || !::IsWindowVisible(m_window);
}

void CMainWindow::HideToTray() {
    ::ShowWindow(m_window, SW_MINIMIZE);
    ::ShowWindow(m_window, SW_HIDE);
}

void CMainWindow::RestoreWindow() {
    ::ShowWindow(m_window, SW_RESTORE);
    ::ShowWindow(m_window, SW_SHOW);
    ::SetFocus(m_window);
    ::SetForegroundWindow(m_window);
}

void CMainWindow::CopyWindowImageToClipboard() {
    RECT frame{};
    ::GetWindowRect(m_window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP image = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = ::SelectObject(memory, image);
    // The window draws itself, so windows in front of it are not in the picture; where it
    // cannot, the screen under it is taken.
    if (!::PrintWindow(m_window, memory, PW_RENDERFULLCONTENT)) {
        ::BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    }
    ::SelectObject(memory, previous);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    if (::OpenClipboard(m_window)) {
        ::EmptyClipboard();
        if (::SetClipboardData(CF_BITMAP, image) != nullptr) {
            image = nullptr;  // the clipboard owns it now
        }
        ::CloseClipboard();
    }
    if (image != nullptr) {
        ::DeleteObject(image);
    }
}

void CMainWindow::DestroyWindow() {
    m_tray.Remove();
    if (m_window != nullptr) {
        ::DestroyWindow(m_window);
        m_window = nullptr;
    }
    ::PostQuitMessage(0);
}

}  // namespace quenby
