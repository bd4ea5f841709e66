// The main window's file commands: the current data file, Save..., Load..., Show Current Data
// File and the text imports. The rest of the controller is in QuenbyController.cpp.
#include "app/ModalTrackingView.h"
#include "app/QuenbyController.h"
#include "app/Texts.h"
#include "engine/WideText.h"
#include "platform/FileStore.h"
#include "platform/ShellActions.h"
#include "platform/Timers.h"
#include "storage/DataFile.h"
#include "storage/DataFilePath.h"
#include "storage/TextImport.h"

namespace quenby {
namespace {

using NativeString = std::filesystem::path::string_type;

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

}  // namespace

bool CQuenbyController::WriteDataFile() {
    if (m_strDataFilePath.empty()) {
        return true;
    }
    const Status status =
        CDataFile(m_s.m_files, m_s.m_protector).WriteDataFile(m_strDataFilePath, m_listMessages);
    m_bLastWriteFailed = !status.ok();
    if (!status.ok()) {
        ShowError(text::kStoreFailed, status.reason(), text::kStoreFailedContact);
    }
    return status.ok();
}

bool CQuenbyController::ReadDataFile(const std::filesystem::path& path) {
    if (ExtensionWarnsOfEncryption(path)) {
        ShowNotice(text::kEncryptedFileWarning, text::kEncryptedFileWarningId);
    }
    Expected<CMessageList> list = CDataFile(m_s.m_files, m_s.m_protector).ReadDataFile(path);
    if (!list.ok()) {
        // The file does not become current, so no later change is written over it.
        ShowError(text::kLoadFailed, list.reason(), text::kLoadFailedKept);
        return false;
    }
    m_listMessages.Swap(list.value());
    m_strDataFilePath = path;
    m_bLastWriteFailed = false;
    m_s.m_view.RefreshList();
    return true;
}

void CQuenbyController::UpdateWindowTitle() {
    NativeString name = FindFileName(m_strDataFilePath);
    const NativeString extension = FindExtension(m_strDataFilePath);
    if (!extension.empty()) {
        for (std::size_t at = name.find(extension); at != NativeString::npos;
             at = name.find(extension, at)) {
            name.erase(at, extension.size());
        }
    }
    std::u16string caption = name.empty() ? std::u16string(text::kUntitled) : DisplayText(name);
    caption += u" - ";
    caption += kAppTitle;
    m_s.m_view.SetCaption(caption);
}

bool CQuenbyController::SaveDataFileAs() {
    ShowNotice(text::kPlainFileWarning, text::kPlainFileWarningId);
    std::optional<std::filesystem::path> chosen = ChooseSavePath();
    if (!chosen) {
        return false;
    }
    m_strDataFilePath = *chosen;
    m_settings.SetLastFilePath(Utf8Path(*chosen));
    WriteDataFile();
    UpdateWindowTitle();
    return true;
}

std::optional<std::filesystem::path> CQuenbyController::ChooseSavePath() {
    for (;;) {
        std::optional<std::filesystem::path> chosen =
            m_s.m_view.ChooseFile(EFileDialog::SaveDataFile);
        if (!chosen || !FindExtension(*chosen).empty()) {
            return chosen;  // the dialog asked about this very name where it exists
        }
        // The dialog's default extension, for a name typed without one: the dialog checked the
        // name as typed, so the question about the file really written is asked here.
        *chosen += ".quenbydata";
        if (!m_s.m_files.Exists(*chosen)) {
            return chosen;
        }
        std::u16string question = DisplayText(FindFileName(*chosen));
        question += text::kAlreadyExists;
        if (m_s.m_view.ShowMessage(question, EMessageIcon::Warning, EMessageButtons::YesNo) ==
            EMessageResult::Yes) {
            return chosen;
        }
        // No: choose another name, as the dialog itself would let the user do.
    }
}

void CQuenbyController::OnLoadDataFile() {
    // Loading replaces the list: changes that live only in the window are asked about first.
    if (!AskSaveChanges()) {
        return;
    }
    const std::optional<std::filesystem::path> chosen =
        m_s.m_view.ChooseFile(EFileDialog::LoadDataFile);
    if (chosen) {
        LoadChosenDataFile(*chosen);
    }
}

void CQuenbyController::OnOpenDataFile(const std::filesystem::path& path) {
    // A request comes from the event queue, which an open dialog or message box runs too: the
    // command that opened it holds the list (an edit to be written into this row of this file,
    // a question about these changes), so the file waits until that command is over. Requests
    // that wait are taken one by one, each asked about as Load... is: none is lost, and a file
    // that cannot be read is still reported.
    if (!m_modalView->AnyModalOpen() && m_openRequests.empty()) {
        OpenNow(path);
        return;
    }
    m_openRequests.push_back(path);
    ScheduleOpenRequest();
}

void CQuenbyController::ScheduleOpenRequest() {
    // From the event loop, after the command that opened the last modal window has finished.
    if (!m_openRequests.empty() && !m_modalView->AnyModalOpen()) {
        m_s.m_timers.SetTimer(TIMER_OPEN_REQUEST, 0);
    }
}

void CQuenbyController::OnOpenRequestTimer() {
    m_s.m_timers.KillTimer(TIMER_OPEN_REQUEST);
    // Fired inside a modal window's own event loop: its closing schedules the request again.
    if (m_openRequests.empty() || m_modalView->AnyModalOpen()) {
        return;
    }
    const std::filesystem::path path = m_openRequests.front();
    m_openRequests.pop_front();
    OpenNow(path);
    ScheduleOpenRequest();
}

void CQuenbyController::OpenNow(const std::filesystem::path& path) {
    // The same question as Load...: the file replaces the list just as a chosen one would.
    if (AskSaveChanges()) {
        LoadChosenDataFile(path);
    }
}

void CQuenbyController::LoadChosenDataFile(const std::filesystem::path& path) {
    m_settings.SetLastFilePath(Utf8Path(path));
    ReadDataFile(path);
    UpdateWindowTitle();
}

void CQuenbyController::OnShowCurrentDataFile() {
    if (m_strDataFilePath.empty()) {
        m_s.m_view.ShowMessage(text::kNoDataFile, EMessageIcon::Information, EMessageButtons::Ok);
        return;
    }
    if (!m_s.m_shell.ShowFileInFolder(m_strDataFilePath)) {
        m_s.m_view.ShowMessage(text::kShowFileFailed, EMessageIcon::Information,
                               EMessageButtons::Ok);
    }
}

void CQuenbyController::AppendFromTextFile(bool unicode) {
    const std::optional<std::filesystem::path> chosen =
        m_s.m_view.ChooseFile(EFileDialog::AppendTextFile);
    if (!chosen) {
        return;
    }
    const NewMessageDefaults defaults = m_settings.GetNewMessageDefaults(EDefaultsFor::TextImport);
    const Expected<std::vector<std::uint8_t>> bytes = m_s.m_files.ReadWholeFile(*chosen);
    if (!bytes.ok()) {
        ShowError(text::kImportFailed, bytes.reason(), {});
        return;
    }
    const std::vector<std::u16string> lines =
        unicode ? ReadUnicodeTextLines(bytes.value()) : ReadSimpleTextLines(bytes.value());
    // Imported lines are changes like any other: closing asks before they are lost.
    m_bModified = m_bModified || !lines.empty();
    for (const std::u16string& line : lines) {
        m_listMessages.AddMessageItem(
            static_cast<std::int32_t>(m_listMessages.GetItemCount()),
            MessageItem{line, defaults.m_iSeconds, defaults.m_iMilliSeconds,
                        defaults.m_bEnterBefore, defaults.m_bEnterAfter, 20, 60});
    }
    m_s.m_view.RefreshList();
    WriteDataFile();
}

void CQuenbyController::OnAppendFromSimpleTextFile() {
    AppendFromTextFile(false);
}

void CQuenbyController::OnAppendFromUnicodeTextFile() {
    AppendFromTextFile(true);
}

}  // namespace quenby
