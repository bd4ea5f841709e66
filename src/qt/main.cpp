// Quenby on Linux: the Qt window over the X11 or Wayland, AT-SPI, Secret Service and desktop
// services. This is the one place where the shell and the platform backends meet; the backends
// are chosen here, at run time, from the session the program finds itself in.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/ProfileValues.h"
#include "app/Texts.h"
#include "input/ThreadSleeper.h"
#include "linux/CommandLine.h"
#include "linux/DesktopPortal.h"
#include "linux/DesktopShellActions.h"
#include "linux/IniProfileStore.h"
#include "linux/PosixFileStore.h"
#include "linux/XdgPaths.h"
#include "linux/atspi/AtspiFocusWatcher.h"
#include "linux/atspi/AtspiTextIntake.h"
#include "linux/atspi/AtspiTextSetter.h"
#include "linux/gnome/GnomeCustomShortcut.h"
#include "linux/portal/PortalGlobalShortcut.h"
#include "linux/portal/PortalKeyboard.h"
#include "linux/protection/UserDataProtector.h"
#include "linux/wayland/WaylandKeyboard.h"
#include "linux/wayland/WaylandPointer.h"
#include "linux/x11/X11FocusWatcher.h"
#include "linux/x11/X11GlobalShortcut.h"
#include "linux/x11/X11Keyboard.h"
#include "linux/x11/X11Pointer.h"
#include "linux/x11/X11ShortcutKeys.h"
#include "linux/x11/X11StopKey.h"
#include "qt/QtOwnFocus.h"
#include "qt/QuenbyApp.h"
#include "qt/SessionInstance.h"

namespace {

// Without a shortcut service (no X server, or Wayland): every combination is refused.
class CNoGlobalShortcut final : public quenby::IGlobalShortcut {
public:
    bool RegisterHotKey(std::uint16_t, std::uint16_t) override { return false; }
    void UnregisterHotKey() override {}
};

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] != '\0';
}

std::string Environment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

// Where no keys can be sent at all, the run says why at its first message.
class CUnavailableKeyboard final : public quenby::IKeyboard {
public:
    quenby::Expected<std::unique_ptr<quenby::IKeyboardOutput>> OpenOutput() override {
        return quenby::Status::Fail(
            u"This Wayland desktop offers programs no virtual keyboard, and there is no XWayland "
            u"(DISPLAY is not set) to type through.");
    }
};

// The keyboard for this session. Wayland: the compositor's virtual keyboard where it offers one
// (sway, Hyprland and other wlroots compositors), else the desktop's RemoteDesktop portal (GNOME,
// KDE), which types what the user's layout has and hands a message with other characters to
// the focused field.
std::unique_ptr<quenby::IKeyboard> ChooseKeyboard(bool wayland,
                                                  quenby::CAtspiTextSetterFactory& textSetters) {
    if (!wayland) {
        return std::make_unique<quenby::CX11Keyboard>();
    }
    // The Wayland protocols have no bell: Qt's, on the UI thread, which owns the connection.
    const auto beep = [] {
        QMetaObject::invokeMethod(
            qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
    };
    // Where the focused field tells on the accessibility bus what it has taken in, keys go as
    // fast as it reads them; elsewhere at a pace slow enough for a busy machine.
    std::shared_ptr<quenby::ITextIntake> intake;
    if (std::shared_ptr<quenby::CAtspiWorker> worker = textSetters.Worker()) {
        intake = std::make_shared<quenby::CAtspiTextIntake>(std::move(worker));
    }
    if (auto keyboard = quenby::OpenWaylandKeyboard(beep, intake)) {
        return keyboard;
    }
    // Runs on the typing thread, as every text setter of a message does.
    auto setFocusedText = [&textSetters](const std::u16string& text) {
        const std::unique_ptr<quenby::ITextSetter> setter = textSetters.CreateTextSetter();
        return setter != nullptr && setter->CanSetTextAt(quenby::kFocusedField) &&
               setter->SetTextAt(quenby::kFocusedField, text);
    };
    if (auto keyboard = quenby::OpenPortalKeyboard(beep, setFocusedText)) {
        return keyboard;
    }
    if (IsSet("DISPLAY")) {
        // Through XWayland: the keys reach X11 applications only.
        return std::make_unique<quenby::CX11Keyboard>();
    }
    return std::make_unique<CUnavailableKeyboard>();
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
        case quenby::ECommandLineAction::Stop: {
            QCoreApplication core(qtArgc, argv);
            const quenby::InstanceCallResult result = quenby::StopRunningInstance();
            if (result.m_outcome == quenby::EInstanceCall::Done && !result.m_bAnswer) {
                std::fprintf(stderr, "quenby: no typing run was active\n");
                return 1;
            }
            return ReportCall(result);
        }
        case quenby::ECommandLineAction::Run:
            break;
    }
    // A compositor to talk to makes this a Wayland session, whatever else is set.
    const bool wayland = IsSet("WAYLAND_DISPLAY");
    if (!wayland && !IsSet("DISPLAY")) {
        std::fprintf(stderr,
                     "Quenby needs a display (neither WAYLAND_DISPLAY nor DISPLAY is set).\n");
        return 1;
    }
    quenby::DesktopSession session;
    session.m_bWayland = wayland;
    session.m_strDesktop = Environment("XDG_CURRENT_DESKTOP");
    if (!IsSet("QT_QPA_PLATFORM")) {
        // Native under Wayland (XWayland only where Qt lacks its Wayland platform); X11 elsewhere
        // whatever Qt would guess.
        ::setenv("QT_QPA_PLATFORM", wayland ? "wayland;xcb" : "xcb", 1);
    }
    // File dialogs through the desktop's portal where Qt has no theme of the desktop's own (GNOME
    // and KDE have theirs), and only where a portal shows file dialogs: Qt's own dialog otherwise.
    if (wayland && !IsSet("QT_QPA_PLATFORMTHEME") &&
        quenby::DesktopFamilyOf(session.m_strDesktop) != quenby::EDesktopFamily::Gnome &&
        quenby::DesktopFamilyOf(session.m_strDesktop) != quenby::EDesktopFamily::Kde &&
        quenby::PortalOffersFileChooser(1000)) {
        ::setenv("QT_QPA_PLATFORMTHEME", "xdgdesktopportal", 1);
    }
    // libatspi drives its direct connections to applications (GTK offers one) from GLib's
    // default main context, and our accessibility worker calls over them from its own thread:
    // were Qt's main thread to run that context too, both would read the same connection, and
    // libdbus aborts the program ("Watch is invalid") or a reply goes astray. Nothing of ours
    // needs the default context on the main thread.
    ::setenv("QT_NO_GLIB", "1", 0);
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
        },
        [&quenby] { return quenby && quenby->Controller().OnStopNow(); }});
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
    // Wayland gives no pointer position: set-text aims at the focused field.
    quenby::CX11Pointer x11Pointer;
    quenby::CWaylandPointer waylandPointer;
    quenby::IPointer& pointer =
        wayland ? static_cast<quenby::IPointer&>(waylandPointer) : x11Pointer;
    quenby::CDesktopShellActions shell;
    quenby::CAtspiTextSetterFactory textSetters;
    const std::unique_ptr<quenby::IKeyboard> keyboard = ChooseKeyboard(wayland, textSetters);
    quenby::CThreadSleeper sleeper;
    quenby::CX11ShortcutKeys shortcutKeys;
    // X11 tells where the keyboard focus is. Wayland tells programs nothing of other windows:
    // the applications that announce their focus on the accessibility bus do, where it is
    // reachable, and Qt knows Quenby's own.
    std::unique_ptr<quenby::CX11FocusWatcher> x11Focus;
    std::unique_ptr<quenby::CAtspiFocusWatcher> atspiFocus;
    std::unique_ptr<quenby::CQtOwnFocus> waylandFocus;
    if (!wayland) {
        if (auto watcher = quenby::CX11FocusWatcher::Open(); watcher.ok()) {
            x11Focus = std::move(watcher).value();
        }
    } else if ((atspiFocus = quenby::CAtspiFocusWatcher::Open(textSetters.Worker()))) {
        waylandFocus = std::make_unique<quenby::CQtOwnFocus>(atspiFocus.get());
    }
    quenby::IFocusWatcher* focus =
        x11Focus ? static_cast<quenby::IFocusWatcher*>(x11Focus.get()) : waylandFocus.get();
    session.m_bFocusKnown = focus != nullptr;
    // Under Wayland the desktop's GlobalShortcuts portal registers the field's combination where
    // it answers. Without it the X11 grab would see only X11 applications' keys: the desktop
    // runs `quenby --toggle` instead.
    const bool portalShortcuts = wayland && quenby::GlobalShortcutsPortalAvailable();
    // GNOME without that portal: a custom shortcut in GNOME's settings, once the user agrees.
    const bool gnomeShortcut =
        wayland && !portalShortcuts &&
        quenby::DesktopFamilyOf(session.m_strDesktop) == quenby::EDesktopFamily::Gnome &&
        quenby::GnomeCustomShortcutsAvailable();
    session.m_bGlobalShortcuts = !wayland || portalShortcuts || gnomeShortcut;
    session.m_bAskBeforeShortcut = gnomeShortcut;
    const quenby::ShellServices services{
        profile, files, protector.get(), pointer, shell, textSetters, *keyboard, sleeper,
        [wayland, portalShortcuts, gnomeShortcut](
            std::function<void()> onPressed) -> std::unique_ptr<quenby::IGlobalShortcut> {
            if (gnomeShortcut) {
                // Presses arrive as `quenby --toggle`, not through `onPressed`.
                return std::make_unique<quenby::CGnomeCustomShortcut>();
            }
            if (portalShortcuts) {
                if (auto shortcut = quenby::OpenPortalGlobalShortcut(onPressed)) {
                    return shortcut;
                }
            }
            if (!wayland) {
                auto shortcut = quenby::CX11GlobalShortcut::Open(std::move(onPressed));
                if (shortcut.ok()) {
                    return std::move(shortcut).value();
                }
            }
            return std::make_unique<CNoGlobalShortcut>();
        },
        // Under Wayland the keys pressed in the field are not X11 keycodes of the X keymap.
        wayland ? nullptr : &shortcutKeys, session,
        [wayland](std::function<void()> onPressed) -> std::unique_ptr<quenby::IStopKey> {
            if (!wayland) {
                auto grab = quenby::CX11GlobalShortcut::Open(std::move(onPressed));
                if (grab.ok()) {
                    return std::make_unique<quenby::CX11StopKey>(std::move(grab).value());
                }
            }
            return nullptr;
        },
        focus};

    quenby = std::make_unique<quenby::CQuenbyApp>(services);
    quenby->InitInstance(dataFile);
    const int status = application.exec();
    // The window and its services go before the bus name and the services they were made from.
    quenby.reset();
    return status;
}
