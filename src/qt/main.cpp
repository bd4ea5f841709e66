// Quenby on Linux: the Qt window over the X11, AT-SPI, Secret Service and desktop services.
// This is the one place where the shell and the platform backends meet.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/ProfileValues.h"
#include "app/Texts.h"
#include "linux/DesktopShellActions.h"
#include "linux/IniProfileStore.h"
#include "linux/PosixFileStore.h"
#include "linux/ThreadSleeper.h"
#include "linux/XdgPaths.h"
#include "linux/atspi/AtspiTextSetter.h"
#include "linux/protection/UserDataProtector.h"
#include "linux/x11/X11GlobalShortcut.h"
#include "linux/x11/X11Keyboard.h"
#include "linux/x11/X11Pointer.h"
#include "linux/x11/X11ShortcutKeys.h"
#include "qt/QuenbyApp.h"

namespace {

// Without an X server nothing can be typed: the shortcut reports every combination refused.
class CNoGlobalShortcut final : public quenby::IGlobalShortcut {
public:
    bool RegisterHotKey(std::uint16_t, std::uint16_t) override { return false; }
    void UnregisterHotKey() override {}
};

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

int main(int argc, char** argv) {
    if (!IsSet("DISPLAY")) {
        std::fprintf(stderr, "Quenby needs an X11 display (DISPLAY is not set).%s\n",
                     IsSet("WAYLAND_DISPLAY")
                         ? " Under Wayland it runs through XWayland, which is not available here."
                         : "");
        return 1;
    }
    const bool wayland =
        IsSet("WAYLAND_DISPLAY") ||
        std::string(std::getenv("XDG_SESSION_TYPE") != nullptr ? std::getenv("XDG_SESSION_TYPE")
                                                               : "") == "wayland";
    // The window, its tray icon and the pointer all speak X11, as the typing does.
    if (!IsSet("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(quenby::kAppTitleUtf8.data()));
    QApplication::setOrganizationName(QString::fromUtf8(quenby::kVendorKey.data()));
    QApplication::setQuitOnLastWindowClosed(false);

    quenby::CIniProfileStore profile(quenby::ProfileFilePath());
    quenby::CPosixFileStore files;
    std::unique_ptr<quenby::CUserDataProtector> protector =
        quenby::CUserDataProtector::ForCurrentUser();
    quenby::CX11Pointer pointer;
    quenby::CDesktopShellActions shell;
    quenby::CAtspiTextSetterFactory textSetters;
    quenby::CX11Keyboard keyboard;
    quenby::CThreadSleeper sleeper;
    quenby::CX11ShortcutKeys shortcutKeys;
    const quenby::ShellServices services{
        profile,
        files,
        protector.get(),
        pointer,
        shell,
        textSetters,
        keyboard,
        sleeper,
        [](std::function<void()> onPressed) -> std::unique_ptr<quenby::IGlobalShortcut> {
            auto shortcut = quenby::CX11GlobalShortcut::Open(std::move(onPressed));
            if (shortcut.ok()) {
                return std::move(shortcut).value();
            }
            return std::make_unique<CNoGlobalShortcut>();
        },
        &shortcutKeys};

    // The whole command line is one data file path, blanks and all.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            commandLine.push_back(' ');
        }
        commandLine.append(argv[i]);
    }
    quenby::CQuenbyApp quenby(services);
    quenby.InitInstance(commandLine);
    if (wayland) {
        quenby.Controller().ShowStartupNotice(quenby::text::kWaylandNotice,
                                              quenby::text::kWaylandNoticeId);
    }
    return application.exec();
}
