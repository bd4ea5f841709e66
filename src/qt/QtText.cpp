#include "qt/QtText.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QStringList>

#include "app/ProfileValues.h"

namespace quenby {

void CMessageBox::keyPressEvent(QKeyEvent* event) {
    if (!event->matches(QKeySequence::Copy)) {
        QMessageBox::keyPressEvent(event);
        return;
    }
    // The box's caption, text and buttons as plain text, the way desktop message boxes copy.
    const QString rule = QString(27, QChar('-')) + "\n";
    QStringList buttons;
    for (QAbstractButton* button : this->buttons()) {
        buttons << button->text().remove('&');
    }
    QGuiApplication::clipboard()->setText(rule + windowTitle() + "\n" + rule + text() + "\n" +
                                          rule + buttons.join("   ") + "\n" + rule);
    event->accept();
}

EMessageResult ShowMessageBox(QWidget* parent, std::u16string_view text, EMessageIcon icon,
                              EMessageButtons buttons) {
    CMessageBox box(parent);
    box.setWindowTitle(ToQString(kAppTitle));
    box.setText(ToQString(text));
    switch (icon) {
        case EMessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case EMessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case EMessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case EMessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    if (buttons == EMessageButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
    } else if (buttons == EMessageButtons::YesNo) {
        // As in a file dialog's replace question, the safe answer is the default.
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return EMessageResult::Yes;
        case QMessageBox::No:
            return EMessageResult::No;
        case QMessageBox::Cancel:
            return EMessageResult::Cancel;
        default:
            return EMessageResult::Ok;
    }
}

}  // namespace quenby
