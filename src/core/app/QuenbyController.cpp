#include "app/QuenbyController.h"

#include <algorithm>

#include "app/Commands.h"
#include "app/DataExchange.h"
#include "app/MessageEditorPresenter.h"
#include "app/ModalTrackingView.h"
#include "app/SettingsPresenter.h"
#include "app/Texts.h"
#include "engine/HotKeyProfile.h"
#include "engine/WideText.h"
#include "platform/DataProtector.h"
#include "platform/GlobalShortcut.h"
#include "platform/ProfileStore.h"
#include "platform/ShellActions.h"
#include "platform/Timers.h"

namespace quenby {
namespace {

using NativeString = std::filesystem::path::string_type;
using NativeChar = NativeString::value_type;

bool IsWhiteSpace(NativeChar c) {
    return c == NativeChar(' ') || (c >= NativeChar('\t') && c <= NativeChar('\r'));
}

}  // namespace

NativeString PathFromCommandLine(const NativeString& commandLine) {
    std::size_t begin = 0;
    std::size_t end = commandLine.size();
    while (begin < end && IsWhiteSpace(commandLine[begin])) {
        ++begin;
    }
    while (end > begin && IsWhiteSpace(commandLine[end - 1])) {
        --end;
    }
    NativeString path = commandLine.substr(begin, end - begin);
    std::erase(path, NativeChar('"'));
    return path;
}

namespace {

HotKeyCapture CaptureFromProfile(const HotKey& hotKey) {
    HotKeyCapture capture;
    capture.m_wVirtualKey = hotKey.m_wVirtualKey;
    capture.m_bShift = (hotKey.m_wControlFlags & CONTROL_FLAG_SHIFT) != 0;
    capture.m_bControl = (hotKey.m_wControlFlags & CONTROL_FLAG_CONTROL) != 0;
    capture.m_bAlt = (hotKey.m_wControlFlags & CONTROL_FLAG_ALT) != 0;
    capture.m_bSuper = (hotKey.m_wControlFlags & CONTROL_FLAG_EXT) != 0;
    return capture;
}

// The control's flags for storing. Only a real Super key becomes the Windows-key modifier; the
// extended-key mark of keys such as Home says nothing about modifiers.
std::uint16_t ControlFlagsFromCapture(const HotKeyCapture& capture) {
    std::uint16_t flags = 0;
    flags |= capture.m_bShift ? CONTROL_FLAG_SHIFT : 0;
    flags |= capture.m_bControl ? CONTROL_FLAG_CONTROL : 0;
    flags |= capture.m_bAlt ? CONTROL_FLAG_ALT : 0;
    flags |= capture.m_bSuper ? CONTROL_FLAG_EXT : 0;
    return flags;
}

// The services with the controller's own view in place of the shell's.
MainWindowServices WithView(const MainWindowServices& s, IMainView& view) {
    return MainWindowServices{view,       s.m_profile,     s.m_files,     s.m_protector,
                              s.m_timers, s.m_pointer,     s.m_shortcut,  s.m_shell,
                              s.m_typist, s.m_textSetters, s.m_runActive, s.m_session,
                              s.m_stopKey};
}

}  // namespace

CQuenbyController::CQuenbyController(const MainWindowServices& services)
    : m_modalView(
          std::make_unique<CModalTrackingView>(services.m_view, [this] { ScheduleOpenRequest(); })),
      m_s(WithView(services, *m_modalView)),
      m_settings(services.m_profile),
      m_notices(services.m_profile),
      m_run(CTypingRun::Services{m_listMessages, services.m_timers, services.m_pointer,
                                 services.m_typist, m_settings, services.m_runActive, *this}) {
    m_s.m_runActive.store(false);
}

CQuenbyController::~CQuenbyController() = default;

void CQuenbyController::OnInitDialog(const NativeString& commandLine) {
    OnInitDialogWithFile(PathFromCommandLine(commandLine));
}

void CQuenbyController::OnInitDialogWithFile(const std::filesystem::path& dataFile) {
    m_run.m_iCount = m_settings.GetCount();
    m_run.m_bRandomOrder = m_settings.GetRandomOrder();
    m_s.m_view.SetCountText(FormatSigned(m_run.m_iCount));
    m_s.m_view.SetRandomOrderCheck(m_run.m_bRandomOrder);
    SetupMessageList();
    // From here on a change of the count box is the user's and is stored.
    m_bInitialized = true;
    SetupStartStopHotKey();
    if (m_settings.GetRememberLastPositionAndSize() != 0) {
        if (const auto placement = m_settings.GetPlacement(profile::Location)) {
            m_s.m_view.ApplyPlacement(*placement);
        }
    }
    if (!dataFile.empty()) {
        ReadDataFile(dataFile);
    }
    UpdateWindowTitle();
    ShowStartStopBinding();
}

void CQuenbyController::SetupMessageList() {
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        const std::optional<std::int32_t> stored = m_settings.GetStoredColumnWidth(column);
        m_s.m_view.SetColumnWidth(
            column,
            stored
                ? *stored
                : m_s.m_view.FitDefaultColumnWidth(
                      column, kMessageColumns[static_cast<std::size_t>(column)].m_iDefaultWidth));
    }
}

bool CQuenbyController::UpdateData() {
    // The box takes digits only, whatever way they came in. The count the window put there
    // itself (from the profile, where a negative one may stand) is no entry and stays as it is.
    const std::u16string shown = m_s.m_view.GetCountText();
    std::optional<std::int32_t> count = ParseFieldDigitsInt(shown);
    if (!count && shown == FormatSigned(m_run.m_iCount)) {
        count = m_run.m_iCount;
    }
    if (!count) {
        m_s.m_view.ShowMessage(text::kEnterInteger, EMessageIcon::Warning, EMessageButtons::Ok);
        return false;
    }
    m_run.m_iCount = *count;
    m_run.m_bRandomOrder = m_s.m_view.GetRandomOrderCheck();
    return true;
}

// ---- Closing ----

void CQuenbyController::OnClose() {
    if (m_run.IsTypingMessage()) {
        // End the message before its next key event, then close once it has let go of its keys.
        m_bClosePending = true;
        m_run.StopNow();
        return;
    }
    if (!AskSaveChanges()) {
        return;
    }
    DestroyMainWindow();
}

void CQuenbyController::DestroyMainWindow() {
    m_run.StopTypingRun();
    m_s.m_timers.KillTimer(TIMER_SCREENSHOT_KEYS);
    m_s.m_timers.KillTimer(TIMER_SCREENSHOT_NOTICE);
    m_s.m_timers.KillTimer(TIMER_OPEN_REQUEST);
    m_openRequests.clear();
    // The random-order box is stored when the window goes; the count was stored as it changed.
    m_settings.SetRandomOrder(m_s.m_view.GetRandomOrderCheck());
    if (!m_s.m_view.IsMinimized() && m_settings.GetRememberLastPositionAndSize() != 0) {
        m_settings.SetPlacement(profile::Location, m_s.m_view.GetPlacement());
    }
    for (int column = 0; column < COLUMN_COUNT; ++column) {
        m_settings.SetColumnWidth(column, m_s.m_view.GetColumnWidth(column));
    }
    m_s.m_shortcut.UnregisterHotKey();
    m_s.m_view.DestroyWindow();
}

bool CQuenbyController::AskSaveChanges() {
    // A failed write to the current file leaves changes only in the window: ask as if unsaved.
    const bool unsaved = (m_bModified && m_strDataFilePath.empty()) || m_bLastWriteFailed;
    if (!unsaved) {
        return true;
    }
    switch (m_s.m_view.ShowMessage(text::kAskSaveChanges, EMessageIcon::Question,
                                   EMessageButtons::YesNoCancel)) {
        case EMessageResult::Yes:
            // The window closes only when the list really reached the disk.
            return SaveDataFileAs() && !m_bLastWriteFailed;
        case EMessageResult::No:
            return true;
        default:
            return false;
    }
}

// ---- List editing ----

void CQuenbyController::OnAddNew() {
    CMessageEditorPresenter editor(m_settings);
    editor.SetEditMode(false);
    if (!m_s.m_view.RunMessageEditor(editor)) {
        return;
    }
    m_bModified = true;
    m_listMessages.AddMessageItem(static_cast<std::int32_t>(m_listMessages.GetItemCount()),
                                  editor.m_item);
    m_s.m_view.RefreshList();
    WriteDataFile();
}

void CQuenbyController::OnEditSelected() {
    const std::optional<std::size_t> row = m_s.m_view.GetSelectedRow();
    if (!row || *row >= m_listMessages.GetItemCount()) {
        m_s.m_view.ShowMessage(text::kSelectToEdit, EMessageIcon::Information, EMessageButtons::Ok);
        return;
    }
    CMessageEditorPresenter editor(m_settings);
    editor.SetEditMode(true);
    editor.m_item = m_listMessages.GetMessageItem(*row);
    if (!m_s.m_view.RunMessageEditor(editor)) {
        return;
    }
    // The row may have gone while the editor was open (a load or Delete All from the tray).
    if (*row < m_listMessages.GetItemCount()) {
        m_listMessages.DeleteItem(*row);
    }
    m_listMessages.AddMessageItem(static_cast<std::int32_t>(*row), editor.m_item);
    m_s.m_view.RefreshList();
    m_s.m_view.ClearSelection();
    WriteDataFile();
    m_bModified = true;
}

void CQuenbyController::OnDeleteSelected() {
    const std::optional<std::size_t> row = m_s.m_view.GetSelectedRow();
    if (!row || *row >= m_listMessages.GetItemCount()) {
        m_s.m_view.ShowMessage(text::kSelectToDelete, EMessageIcon::Information,
                               EMessageButtons::Ok);
        return;
    }
    m_listMessages.DeleteItem(*row);
    m_listMessages.RenumberRows();
    m_s.m_view.RefreshList();
    m_s.m_view.ClearSelection();
    WriteDataFile();
    m_bModified = true;
}

void CQuenbyController::OnDeleteAllRecords() {
    m_listMessages.DeleteAllItems();
    m_s.m_view.RefreshList();
    WriteDataFile();
}

// ---- Notices and errors ----

void CQuenbyController::ShowNotice(std::u16string_view text, std::string_view identifier) {
    if (m_notices.IsSuppressed(identifier)) {
        return;
    }
    if (m_s.m_view.ShowSuppressibleNotice(text)) {
        m_notices.Suppress(identifier);
    }
}

void CQuenbyController::ShowError(std::u16string_view headline, const std::u16string& reason,
                                  std::u16string_view advice) {
    std::u16string message(headline);
    message += u"\n\n";
    message += reason;
    if (!advice.empty()) {
        message += u"\n\n";
        message += advice;
    }
    m_s.m_view.ShowMessage(message, EMessageIcon::Error, EMessageButtons::Ok);
}

// ---- The shortcut ----

void CQuenbyController::SetupStartStopHotKey() {
    const HotKey hotKey = CHotKeyProfile(m_s.m_profile).LoadHotKey(kStartStopHotKeyName);
    m_s.m_view.SetHotKeyControl(CaptureFromProfile(hotKey));
    m_s.m_shortcut.UnregisterHotKey();
    // Without a shortcut service the stored combination is kept for sessions that have one, and
    // nothing here can fail: the desktop runs `quenby --toggle` instead.
    if (hotKey.m_wVirtualKey != 0 && m_s.m_session.m_bGlobalShortcuts && ShortcutAgreed() &&
        !m_s.m_shortcut.RegisterHotKey(hotKey.m_wVirtualKey, hotKey.m_wSystemFlags)) {
        m_s.m_view.ShowMessage(text::kHotKeySetupFailed, EMessageIcon::Error, EMessageButtons::Ok);
    }
}

bool CQuenbyController::ShortcutAgreed() const {
    return !m_s.m_session.m_bAskBeforeShortcut ||
           m_s.m_profile.GetInt(kProfileSection, kDesktopShortcutAgreedName, 0) == 1;
}

void CQuenbyController::ShowStartStopBinding() {
    m_s.m_view.SetHotKeyHint(ShortcutHint(m_s.m_session));
    // Once per kind of desktop, whatever the answer: the line by the field keeps saying it.
    const std::optional<OnceNotice> notice = FirstStartNotice(m_s.m_session);
    if (notice && !m_notices.IsSuppressed(notice->m_identifier)) {
        m_notices.Suppress(notice->m_identifier);
        m_s.m_view.ShowMessage(notice->m_text, EMessageIcon::Information, EMessageButtons::Ok);
    }
}

void CQuenbyController::OnAssignHotKey() {
    const HotKeyCapture capture = m_s.m_view.GetHotKeyControl();
    if (!CHotKeyProfile(m_s.m_profile)
             .StoreHotKey(kStartStopHotKeyName, capture.m_wVirtualKey,
                          ControlFlagsFromCapture(capture))) {
        m_s.m_view.ShowMessage(text::kHotKeyStoreFailed, EMessageIcon::Error, EMessageButtons::Ok);
    }
    // A shortcut in the desktop's own settings is added only with the user's yes, asked at the
    // first combination assigned and kept; a no is asked again at the next one.
    if (capture.m_wVirtualKey != 0 && m_s.m_session.m_bGlobalShortcuts && !ShortcutAgreed() &&
        m_s.m_view.ShowMessage(text::kAddDesktopShortcut, EMessageIcon::Question,
                               EMessageButtons::YesNo) == EMessageResult::Yes) {
        m_s.m_profile.WriteInt(kProfileSection, kDesktopShortcutAgreedName, 1);
    }
    SetupStartStopHotKey();
}

void CQuenbyController::OnClearHotKey() {
    m_s.m_view.SetHotKeyControl(HotKeyCapture{});
    OnAssignHotKey();
}

// ---- Menus ----

void CQuenbyController::OnSettings() {
    CSettingsPresenter settings(m_settings, m_s.m_textSetters, m_s.m_pointer);
    settings.m_bFocusKnown = m_s.m_session.m_bFocusKnown;
    m_s.m_view.RunSettingsDialog(settings);
}

void CQuenbyController::OnEncryptionInfo() {
    std::u16string message(text::kEncryptionInfo);
    if (m_s.m_protector != nullptr) {
        message += u"\n\n";
        message += text::kKeyStorePrefix;
        message += m_s.m_protector->DescribeKeyStore();
        message += u".";
    }
    m_s.m_view.ShowMessage(message, EMessageIcon::Information, EMessageButtons::Ok);
}

void CQuenbyController::OnHelpInfo() {
    m_s.m_shell.OpenWebAddress(text::kHomePage);
}

void CQuenbyController::OnAboutBox() {
    m_s.m_view.ShowAboutBox();
}

bool CQuenbyController::OnCommand(int command) {
    switch (command) {
        case IDC_ADD_NEW:
            OnAddNew();
            break;
        case IDC_EDIT_SELECTED:
            OnEditSelected();
            break;
        case IDC_DELETE_SELECTED:
        case ID_DELETE_SELECTED_RECORD:
            OnDeleteSelected();
            break;
        case ID_DELETE_ALL_RECORDS:
            OnDeleteAllRecords();
            break;
        case IDC_ASSIGN_HOTKEY:
            OnAssignHotKey();
            break;
        case IDC_CLEAR_HOTKEY:
            OnClearHotKey();
            break;
        case IDC_HIDE_TO_TRAY:
            m_s.m_view.HideToTray();
            break;
        case ID_CONFIGURE:
            m_s.m_view.RestoreWindow();
            break;
        case ID_EXIT:
            OnClose();
            break;
        case ID_STOP_NOW:
            OnStopNow();
            break;
        case ID_SCREENSHOT_TO_CLIPBOARD:
            OnScreenshotToClipboard();
            break;
        case ID_SAVE:
            SaveDataFileAs();
            break;
        case ID_LOAD:
            OnLoadDataFile();
            break;
        case ID_SHOW_CURRENT_DATA_FILE:
            OnShowCurrentDataFile();
            break;
        case ID_APPEND_SIMPLE_TEXT:
            OnAppendFromSimpleTextFile();
            break;
        case ID_APPEND_UNICODE_TEXT:
            OnAppendFromUnicodeTextFile();
            break;
        case ID_SETTINGS:
            OnSettings();
            break;
        case ID_ENCRYPTION_INFO:
            OnEncryptionInfo();
            break;
        case ID_VISIT_SITE:
            m_s.m_shell.OpenWebAddress(text::kHomePage);
            break;
        case ID_SHARE_FACEBOOK:
            m_s.m_shell.OpenWebAddress(text::kShareFacebook);
            break;
        case ID_SHARE_TWITTER:
            m_s.m_shell.OpenWebAddress(text::kShareTwitter);
            break;
        case ID_ANOTHER_SOFTWARE:
            m_s.m_shell.OpenWebAddress(text::kAnotherSoftware);
            break;
        default:
            return false;
    }
    return true;
}

}  // namespace quenby
