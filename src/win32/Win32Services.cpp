#include "win32/Win32Services.h"

#include <objbase.h>

#include "win32/EscapeStopKey.h"
#include "win32/ForegroundWatcher.h"
#include "win32/HotKeyShortcut.h"
#include "win32/Win32Typist.h"

namespace quenby {

CComApartment::CComApartment()
    : m_bInitialised(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

CComApartment::~CComApartment() {
    if (m_bInitialised) {
        ::CoUninitialize();
    }
}

CWin32Services::Window CWin32Services::MakeWindowServices(std::function<void(int)> onTimer,
                                                          std::function<void()> onHotKey,
                                                          std::function<void()> onStopNow,
                                                          const std::atomic<bool>& runActive) {
    Window window;
    window.m_focus = std::make_unique<CForegroundWatcher>();
    window.m_timers = std::make_unique<CWindowTimers>(std::move(onTimer));
    window.m_shortcut = std::make_unique<CHotKeyShortcut>(std::move(onHotKey));
    window.m_stopKey = std::make_unique<CEscapeStopKey>(std::move(onStopNow));
    window.m_typist = std::make_unique<CWin32Typist>(
        KeystrokeServices{m_keyboard, m_textSetters, m_sleeper, runActive, window.m_focus.get()},
        m_keyboard);
    return window;
}

MainWindowServices CWin32Services::ForController(IMainView& view, Window& window,
                                                 std::atomic<bool>& runActive) {
    return MainWindowServices{view,
                              m_profile,
                              m_files,
                              &m_protector,
                              *window.m_timers,
                              m_pointer,
                              *window.m_shortcut,
                              m_shell,
                              *window.m_typist,
                              m_textSetters,
                              runActive,
                              DesktopSession{},
                              window.m_stopKey.get()};
}

}  // namespace quenby
