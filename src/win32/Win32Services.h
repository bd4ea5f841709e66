#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "app/QuenbyController.h"
#include "input/AppHelper.h"
#include "input/ThreadSleeper.h"
#include "platform/FocusWatcher.h"
#include "platform/GlobalShortcut.h"
#include "platform/MessageTypist.h"
#include "platform/StopKey.h"
#include "win32/DpapiDataProtector.h"
#include "win32/RegistryProfileStore.h"
#include "win32/SendInputKeyboard.h"
#include "win32/TextSetterFactory.h"
#include "win32/Win32FileStore.h"
#include "win32/Win32ShellActions.h"
#include "win32/WindowTimers.h"

namespace quenby {

// COM on the calling thread as a single-threaded apartment (what OLE, the shell and the
// accessibility calls of a UI thread need), for the life of the object.
class CComApartment {
public:
    CComApartment();
    ~CComApartment();
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

private:
    bool m_bInitialised;
};

// Every Windows service the main window needs, so a shell only draws: made on the UI thread,
// which must stay the thread of the timers, the shortcut and the typist's reports.
class CWin32Services {
public:
    // `profileKey`: where the profile lives under HKEY_CURRENT_USER (tests give one of their own).
    explicit CWin32Services(std::wstring profileKey = CRegistryProfileStore::ApplicationKey())
        : m_profile(std::move(profileKey)) {}

    // The services of one main window: `view` draws, `onTimer`, `onHotKey` and `onStopNow` go
    // to the controller's OnTimer, OnHotKey and OnStopNow, on the UI thread.
    struct Window {
        std::unique_ptr<IFocusWatcher> m_focus;  // first: the typist asks it until it goes
        std::unique_ptr<ITimers> m_timers;
        std::unique_ptr<IGlobalShortcut> m_shortcut;
        std::unique_ptr<IStopKey> m_stopKey;
        std::unique_ptr<IMessageTypist> m_typist;
    };
    Window MakeWindowServices(std::function<void(int)> onTimer, std::function<void()> onHotKey,
                              std::function<void()> onStopNow, const std::atomic<bool>& runActive);
    // What the controller is built with, from the window's services.
    MainWindowServices ForController(IMainView& view, Window& window, std::atomic<bool>& runActive);

    IProfileStore& Profile() { return m_profile; }
    IFileStore& Files() { return m_files; }
    IDataProtector& Protector() { return m_protector; }
    IPointer& Pointer() { return m_pointer; }
    IShellActions& Shell() { return m_shell; }
    ITextSetterFactory& TextSetters() { return m_textSetters; }
    IKeyboard& Keyboard() { return m_keyboard; }
    ISleeper& Sleeper() { return m_sleeper; }

private:
    CRegistryProfileStore m_profile;
    CWin32FileStore m_files;
    CDpapiDataProtector m_protector;
    CCursorPointer m_pointer;
    CWin32ShellActions m_shell;
    CWin32TextSetterFactory m_textSetters;
    CSendInputKeyboard m_keyboard;
    CWin32Sleeper m_sleeper{m_keyboard};
};

}  // namespace quenby
