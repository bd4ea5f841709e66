#include "qt/QuenbyApp.h"

#include <QMetaObject>

#include "engine/RunFlag.h"
#include "platform/StopKey.h"
#include "qt/QtOwnFocus.h"
#include "qt/QtTimers.h"
#include "qt/QuenbyDlg.h"
#include "qt/ThreadedTypist.h"

// The icons live in a static library, whose resources must be registered by hand.
static void RegisterResources() {
    Q_INIT_RESOURCE(quenby);
}

namespace quenby {

CQuenbyApp::CQuenbyApp(const ShellServices& services)
    : m_dlgMain((RegisterResources(), std::make_unique<CQuenbyDlg>())) {
    m_timers = std::make_unique<CQtTimers>([this](int id) { m_controller->OnTimer(id); });
    IFocusWatcher* focus = services.m_focus;
    if (focus == nullptr) {
        m_ownFocus = std::make_unique<CQtOwnFocus>();
        focus = m_ownFocus.get();
    }
    m_typist = std::make_unique<CThreadedTypist>(
        KeystrokeServices{services.m_keyboard, services.m_textSetters, services.m_sleeper,
                          g_bTypingRunActive, focus},
        m_dlgMain.get());
    if (services.m_makeStopKey) {
        // Esc arrives on the grab's own thread, as the shortcut does.
        m_stopKey = services.m_makeStopKey([window = m_dlgMain.get(), this] {
            QMetaObject::invokeMethod(
                window, [this] { m_controller->OnStopNow(); }, Qt::QueuedConnection);
        });
    }
    // Presses arrive on the shortcut's own thread: the UI thread takes them from its queue.
    m_shortcut = services.m_makeShortcut([window = m_dlgMain.get(), this] {
        QMetaObject::invokeMethod(
            window, [this] { m_controller->OnHotKey(); }, Qt::QueuedConnection);
    });
    m_controller = std::make_unique<CQuenbyController>(MainWindowServices{
        *m_dlgMain, services.m_profile, services.m_files, services.m_protector, *m_timers,
        services.m_pointer, *m_shortcut, services.m_shell, *m_typist, services.m_textSetters,
        g_bTypingRunActive, services.m_session, m_stopKey.get()});
    m_dlgMain->SetController(m_controller.get());
    m_dlgMain->m_pHotKey->SetShortcutKeys(services.m_shortcutKeys);
}

CQuenbyApp::~CQuenbyApp() {
    // A message still being typed ends at its next character; its thread is waited for before
    // anything it uses goes.
    g_bTypingRunActive.store(false);
    m_typist->StopNow();  // a long pause is not slept out
    m_typist.reset();
    m_shortcut.reset();
    m_stopKey.reset();
    m_dlgMain->SetController(nullptr);
}

void CQuenbyApp::InitInstance(const std::filesystem::path& dataFile) {
    m_dlgMain->AddTrayIcon();
    // Shown once its placement is applied, so that it does not appear in one place and jump.
    m_controller->OnInitDialogWithFile(dataFile);
    m_dlgMain->show();
}

void CQuenbyApp::Activate() {
    if (m_dlgMain->isHidden() || m_dlgMain->isMinimized()) {
        m_dlgMain->RestoreWindow();
        return;
    }
    // A maximised window stays maximised: only hidden or minimised ones are restored.
    m_dlgMain->raise();
    m_dlgMain->activateWindow();
}

}  // namespace quenby
