#pragma once

#include <QMessageBox>
#include <QString>
#include <string>
#include <string_view>

#include "app/MainView.h"

namespace quenby {

inline QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

// A message box whose Ctrl+C copies its caption, text and buttons to the clipboard, as the
// texts of some boxes promise.
class CMessageBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A message box owned by `parent` with the application title as caption.
EMessageResult ShowMessageBox(QWidget* parent, std::u16string_view text, EMessageIcon icon,
                              EMessageButtons buttons);

}  // namespace quenby
