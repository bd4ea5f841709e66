#include "win32shell/QuenbyProgram.h"

#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include "app/QuenbyController.h"
#include "engine/RunFlag.h"
#include "win32/Win32Services.h"
#include "win32shell/MainWindow.h"
#include "win32shell/SessionInstance.h"

namespace quenby {

int RunQuenbyProgram(const std::wstring& commandLine) {
    // Before anything of this start shows: a second Quenby would fail to take the shortcut.
    CSessionInstance instance;
    if (const std::optional<int> handedOver = instance.Claim(commandLine)) {
        return *handedOver;
    }
    const CComApartment com;
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&classes);

    CWin32Services services;
    CMainWindow window;
    if (!window.Create()) {
        return 1;
    }
    CQuenbyController* controller = nullptr;
    CWin32Services::Window windowServices = services.MakeWindowServices(
        [&controller](int id) {
            if (controller != nullptr) {
                controller->OnTimer(id);
            }
        },
        [&controller] {
            if (controller != nullptr) {
                controller->OnHotKey();
            }
        },
        [&controller] {
            if (controller != nullptr) {
                controller->OnStopNow();
            }
        },
        g_bTypingRunActive);
    CQuenbyController quenby(services.ForController(window, windowServices, g_bTypingRunActive));
    controller = &quenby;
    window.SetController(&quenby);
    quenby.OnInitDialog(commandLine);
    window.Show();

    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!window.PreTranslate(message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    // A message still being typed ends at its next character; the typist's thread is waited for
    // before anything it uses goes.
    g_bTypingRunActive.store(false);
    controller = nullptr;
    window.SetController(nullptr);
    return static_cast<int>(message.wParam);
}

}  // namespace quenby
