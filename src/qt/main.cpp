// Quenby on Linux: the Qt window over the X11, AT-SPI, Secret Service and desktop services.
// This is the one place where the shell and the platform backends meet.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/ProfileValues.h"
#include "app/Texts.h"
#include "linux/CommandLine.h"
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
#include "qt/SessionInstance.h"

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

// Tells the user why the running Quenby could not be reached; the exit status.
int ReportCall(const quenby::InstanceCallResult& result) {
    switch (result.m_outcome) {
        case quenby::EInstanceCall::Done:
            return 0;
        case quenby::EInstanceCall::NoBus:
            std::fprintf(stderr, "quenby: cannot reach a running Quenby: no session bus (%s)\n",
                         result.m_strDetail.c_str());
            break;
        case quenby::EInstanceCall::NotRunning:
            std::fprintf(stderr, "quenby: Quenby is not running\n");
            break;
        case quenby::EInstanceCall::NoAnswer:
            std::fprintf(stderr, "quenby: the running Quenby did not answer within %d seconds\n",
                         quenby::kInstanceCallTimeoutMs / 1000);
            break;
        case quenby::EInstanceCall::Failed:
            std::fprintf(stderr, "quenby: the running Quenby refused the request: %s\n",
                         result.m_strDetail.c_str());
            break;
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const quenby::CommandLineRequest request =
        quenby::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    // Qt sees only the program's name: every argument is ours, and a file may be named like one
    // of Qt's options.
    int qtArgc = 1;
    switch (request.m_action) {
        case quenby::ECommandLineAction::Help:
            std::fputs(quenby::HelpText().c_str(), stdout);
            return 0;
        case quenby::ECommandLineAction::Version:
            std::fputs(quenby::VersionText(QUENBY_VERSION).c_str(), stdout);
            return 0;
        case quenby::ECommandLineAction::UsageError:
            std::fprintf(stderr, "quenby: %s\n%sTry 'quenby --help' for more information.\n",
                         request.m_strError.c_str(), quenby::UsageText().c_str());
            return 2;
        case quenby::ECommandLineAction::Toggle: {
            // Only the bus is needed: this works without a display, under any desktop.
            QCoreApplication core(qtArgc, argv);
            return ReportCall(quenby::CallRunningInstance("Toggle"));
        }
        case quenby::ECommandLineAction::Run:
            break;
    }
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
    QApplication application(qtArgc, argv);
    QApplication::setApplicationName(QString::fromUtf8(quenby::kAppTitleUtf8.data()));
    QApplication::setOrganizationName(QString::fromUtf8(quenby::kVendorKey.data()));
    QApplication::setQuitOnLastWindowClosed(false);

    // Requests of later starts come through the event queue, which first runs once the
    // application exists; the checks only guard that order.
    std::unique_ptr<quenby::CQuenbyApp> quenby;
    const std::filesystem::path dataFile = request.m_file.value_or(std::string());
    quenby::CSessionInstance instance(quenby::InstanceRequests{
        [&quenby] {
            if (quenby) {
                quenby->Activate();
            }
        },
        [&quenby](const std::filesystem::path& path) {
            if (quenby) {
                quenby->Activate();
                quenby->Controller().OnOpenDataFile(path);
            }
        },
        // The very entry of the shortcut, so a toggle during a message waits for it the same way.
        [&quenby] {
            if (quenby) {
                quenby->Controller().OnHotKey();
            }
        }});
    switch (instance.Claim()) {
        case quenby::CSessionInstance::EClaim::Taken:
            // Another Quenby serves this session: it takes the request, this start ends.
            return ReportCall(dataFile.empty() ? quenby::CallRunningInstance("Activate")
                                               : quenby::OpenInRunningInstance(dataFile));
        case quenby::CSessionInstance::EClaim::NoBus:
        case quenby::CSessionInstance::EClaim::Owned:
            break;
    }

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

    quenby = std::make_unique<quenby::CQuenbyApp>(services);
    quenby->InitInstance(dataFile);
    if (wayland) {
        quenby->Controller().ShowStartupNotice(quenby::text::kWaylandNotice,
                                               quenby::text::kWaylandNoticeId);
    }
    const int status = application.exec();
    // The window and its services go before the bus name and the services they were made from.
    quenby.reset();
    return status;
}
