#pragma once

#include <atomic>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>

#include "app/AppSettings.h"
#include "app/DesktopSession.h"
#include "app/MainView.h"
#include "app/SuppressibleNotices.h"
#include "engine/MessageList.h"
#include "engine/TypingRun.h"

namespace quenby {

class CModalTrackingView;
class IDataProtector;
class IFileStore;
class IGlobalShortcut;
class IMessageTypist;
class IPointer;
class IProfileStore;
class IShellActions;
class IStopKey;
class ITextSetterFactory;
class ITimers;

// Everything the main window's behaviour uses, handed in by the shell.
struct MainWindowServices {
    IMainView& m_view;
    IProfileStore& m_profile;
    IFileStore& m_files;
    IDataProtector* m_protector;  // null: partly encrypted files cannot be used
    ITimers& m_timers;
    IPointer& m_pointer;
    IGlobalShortcut& m_shortcut;
    IShellActions& m_shell;
    IMessageTypist& m_typist;
    ITextSetterFactory& m_textSetters;
    std::atomic<bool>& m_runActive;
    DesktopSession m_session{};
    IStopKey* m_stopKey = nullptr;  // none: Esc does not stop runs here
};

// The data file a command line names: everything after the program's name is one path, trimmed,
// with every double quote removed wherever it stands.
std::filesystem::path::string_type PathFromCommandLine(
    const std::filesystem::path::string_type& commandLine);

// The main window's behaviour: it owns the message list, the typing run and the current data file,
// and answers every button, menu command, timer and shortcut press. A shell draws the window,
// forwards its events here, and does what the view interface asks.
class CQuenbyController final : private ITypingRunHost {
public:
    explicit CQuenbyController(const MainWindowServices& services);
    ~CQuenbyController() override;

    // The window has been created; `commandLine` is everything after the program's name, taken
    // as one path with its quotes removed.
    void OnInitDialog(const std::filesystem::path::string_type& commandLine);
    // The window has been created; `dataFile` (none when empty) is opened as it is, for shells
    // whose system has already split the command line.
    void OnInitDialogWithFile(const std::filesystem::path& dataFile);
    // Another start of the program asked for this data file: Load... with the file chosen. While
    // a dialog or message box of the window is open, the request waits until all are closed;
    // several waiting requests are then taken one after another, in the order they came.
    void OnOpenDataFile(const std::filesystem::path& path);
    // The close box, Alt+F4 or Exit: asks about unsaved changes, then destroys the window.
    void OnClose();
    // The start/stop shortcut was pressed.
    void OnHotKey();
    // Esc during a run, Stop Now in the tray menu, `--stop`: the run ends before its next key
    // event. False when no run was active.
    bool OnStopNow();
    // A run is active (Stop Now applies).
    bool IsRunActive() const { return m_s.m_runActive.load() || m_run.IsTypingMessage(); }
    void OnTimer(int id);
    // The count box's text changed.
    void OnCountChanged();
    // A button or menu command (ECommand); false when the id is not one of them.
    bool OnCommand(int command);
    // F1.
    void OnHelpInfo();
    // The About item of the window's menu.
    void OnAboutBox();
    // A notice about the platform at start-up, which the user can silence for good.
    void ShowStartupNotice(std::u16string_view text, std::string_view identifier) {
        ShowNotice(text, identifier);
    }

    // The commands, one by one.
    void OnAddNew();
    void OnEditSelected();
    void OnDeleteSelected();
    void OnDeleteAllRecords();
    bool SaveDataFileAs();
    void OnLoadDataFile();
    void OnShowCurrentDataFile();
    void OnAppendFromSimpleTextFile();
    void OnAppendFromUnicodeTextFile();
    void OnAssignHotKey();
    void OnClearHotKey();
    void OnScreenshotToClipboard();
    void OnSettings();
    void OnEncryptionInfo();
    bool AskSaveChanges();

    const CMessageList& List() const { return m_listMessages; }
    const std::filesystem::path& DataFilePath() const { return m_strDataFilePath; }
    bool IsModified() const { return m_bModified; }
    CTypingRun& TypingRun() { return m_run; }

private:
    // ITypingRunHost
    void UpdateRunIcons() override;
    void OnMessageDone() override;
    void OnTypingFailed(const Status& why) override;
    void OnTypingInterrupted(ETypingEnd why) override;

    // Takes the count and random-order controls into the run; false (with the integer message)
    // when the count cannot be read, and then neither value changes.
    bool UpdateData();
    void SetupMessageList();
    void SetupStartStopHotKey();
    // Whether the shortcut service may register the combination: it needs no consent, or the
    // user has agreed to a shortcut in the desktop's own settings.
    bool ShortcutAgreed() const;
    void UpdateWindowTitle();
    // How start/stop is bound in this session: the line by the shortcut field, and once the
    // notice that tells how to bind it.
    void ShowStartStopBinding();
    bool ReadDataFile(const std::filesystem::path& path);
    // The end of Load...: the chosen file is remembered, read and shown in the caption.
    void LoadChosenDataFile(const std::filesystem::path& path);
    // The save dialog, with the default extension added and a file that would be overwritten
    // asked about; nothing when the user cancels.
    std::optional<std::filesystem::path> ChooseSavePath();
    bool WriteDataFile();
    void AppendFromTextFile(bool unicode);
    void ShowNotice(std::u16string_view text, std::string_view identifier);
    void ShowError(std::u16string_view headline, const std::u16string& reason,
                   std::u16string_view advice);
    void DestroyMainWindow();
    // Arms the timer that takes the first waiting open request, once no modal window is open.
    void ScheduleOpenRequest();
    void OnOpenRequestTimer();
    void OpenNow(const std::filesystem::path& path);

    // Declared before m_s, whose view it is. Held by pointer so that this header stays free of
    // view method names that a shell's system headers define as macros.
    std::unique_ptr<CModalTrackingView> m_modalView;
    MainWindowServices m_s;
    CAppSettings m_settings;
    CSuppressibleNotices m_notices;
    CMessageList m_listMessages;
    CTypingRun m_run;
    std::filesystem::path m_strDataFilePath;
    bool m_bModified = false;
    bool m_bInitialized = false;
    // The last write to the current data file failed: the list holds changes the file lacks.
    bool m_bLastWriteFailed = false;
    // Shortcut presses that arrived while a message was being typed, handled after it.
    int m_iPendingToggles = 0;
    bool m_bClosePending = false;
    // Files other starts asked to open while a modal window was open, oldest first.
    std::deque<std::filesystem::path> m_openRequests;
    // Esc was asked for the active run (taken, or refused and the user told).
    bool m_bStopKeyAsked = false;
};

}  // namespace quenby
