#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/DesktopSession.h"
#include "app/QuenbyController.h"
#include "input/AppHelper.h"
#include "platform/GlobalShortcut.h"

namespace quenby {

class CQtTimers;
class CQuenbyDlg;
class CThreadedTypist;
class IDataProtector;
class IFocusWatcher;
class IStopKey;
class IFileStore;
class IKeyboard;
class IPointer;
class IProfileStore;
class IShellActions;
class IShortcutKeys;
class ISleeper;
class ITextSetterFactory;

// The platform services the program runs on, chosen by main().
struct ShellServices {
    IProfileStore& m_profile;
    IFileStore& m_files;
    IDataProtector* m_protector;
    IPointer& m_pointer;
    IShellActions& m_shell;
    ITextSetterFactory& m_textSetters;
    IKeyboard& m_keyboard;
    ISleeper& m_sleeper;
    // Makes the global shortcut; `onPressed` may be called on any thread.
    std::function<std::unique_ptr<IGlobalShortcut>(std::function<void()> onPressed)> m_makeShortcut;
    // Names the keys pressed in the shortcut field; none: by the character Qt reports.
    IShortcutKeys* m_shortcutKeys = nullptr;
    // The session the program runs in, and whether the shortcut above reaches the system.
    DesktopSession m_session{};
    // Makes Esc for the runs; `onPressed` may be called on any thread. None: Esc stops nothing.
    std::function<std::unique_ptr<IStopKey>(std::function<void()> onPressed)> m_makeStopKey{};
    // Where the keyboard focus is; none: only Quenby's own windows are known (from Qt).
    IFocusWatcher* m_focus = nullptr;
};

// The application: owns the main window, the controller and the services' Qt side, for the
// whole process.
class CQuenbyApp {
public:
    explicit CQuenbyApp(const ShellServices& services);
    ~CQuenbyApp();

    // Shows the main window and initialises it, opening `dataFile` unless it is empty.
    void InitInstance(const std::filesystem::path& dataFile);
    // Brings the main window to the front, also from the notification area or the taskbar.
    void Activate();

    CQuenbyDlg& MainWindow() { return *m_dlgMain; }
    CQuenbyController& Controller() { return *m_controller; }

private:
    std::unique_ptr<CQuenbyDlg> m_dlgMain;
    std::unique_ptr<CQtTimers> m_timers;
    std::unique_ptr<CThreadedTypist> m_typist;
    std::unique_ptr<IGlobalShortcut> m_shortcut;
    std::unique_ptr<IFocusWatcher> m_ownFocus;  // where the services have no focus watcher
    std::unique_ptr<IStopKey> m_stopKey;
    std::unique_ptr<CQuenbyController> m_controller;
};

}  // namespace quenby
