#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <map>
#include <memory>

#include "qt/DlgAutoTextMessage.h"
#include "qt/QtText.h"
#include "qt/QuenbyApp.h"
#include "qt/QuenbyDlg.h"
#include "support/CoreFixture.h"

namespace quenby::test {

// Names native key codes from a table, as a platform does under one layout.
class CFakeShortcutKeys final : public IShortcutKeys {
public:
    std::uint16_t VirtualKeyOfNativeKey(std::uint32_t nativeKey) override {
        const auto found = m_codes.find(nativeKey);
        return found != m_codes.end() ? found->second : 0;
    }
    std::map<std::uint32_t, std::uint16_t> m_codes;
};

// The Qt shell over the core's fake desktop, offscreen. A profile and files outlive the program,
// so a second start sees what the first one stored.
class ShellFixture : public CoreFixture {
protected:
    CQuenbyApp& Start(const std::string& commandLine = "") {
        m_app = std::make_unique<CQuenbyApp>(ShellServices{
            m_profile, m_files, &m_protector, m_pointer, m_shell, m_textSetters, m_keyboard,
            m_clock,
            [this](std::function<void()>) {
                return std::unique_ptr<IGlobalShortcut>(std::make_unique<CFakeGlobalShortcut>());
            },
            &m_shortcutKeys});
        m_app->InitInstance(commandLine);
        return *m_app;
    }
    void Stop() { m_app.reset(); }
    CQuenbyDlg& Window() { return m_app->MainWindow(); }
    // The next dialogs are message editors, in which the user does this.
    void InEditor(std::function<void(CDlgAutoTextMessage&)> does) {
        Window().m_onDialog = [does](QDialog& dialog) {
            does(dynamic_cast<CDlgAutoTextMessage&>(dialog));
        };
    }
    void TriggerMenuItem(const QString& text) {
        for (QAction* action : Window().m_pMainMenu->actions()) {
            if (action->text() == text) {
                action->trigger();
            }
        }
    }

    // Closes the next message box to appear, noting its text: waits for it while another modal
    // window (a file dialog) is still in front.
    void AnswerNextMessageBox(QMessageBox::StandardButton button = QMessageBox::Ok) {
        auto* poll = new QTimer(QApplication::instance());
        QObject::connect(poll, &QTimer::timeout, [this, button, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            poll->stop();
            poll->deleteLater();
            m_messages.push_back(box->text());
            if (QAbstractButton* answer = box->button(button)) {
                answer->click();
            } else {
                box->close();
            }
        });
        poll->start(0);
    }

    CFakeShortcutKeys m_shortcutKeys;
    std::unique_ptr<CQuenbyApp> m_app;
    std::vector<QString> m_messages;
};

}  // namespace quenby::test
