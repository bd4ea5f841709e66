#include "qt/QtText.h"

#include "app/ProfileValues.h"

namespace quenby {

EMessageResult ShowMessageBox(QWidget* parent, std::u16string_view text, EMessageIcon icon,
                              EMessageButtons buttons) {
    QMessageBox box(parent);
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
