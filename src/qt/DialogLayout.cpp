#include "qt/DialogLayout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableView>
#include <algorithm>
#include <cmath>

#include "qt/HotKeyEdit.h"

namespace quenby {
namespace {

// A number field takes digits from the keyboard and refuses other typed characters with a beep.
// Whatever comes in another way (a paste, a drop) is left as it is: the field's owner checks the
// number it is given and says what is wrong with it, where a validator would drop a pasted "-12"
// without a word.
class CDigitKeysOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            const bool command = (key->modifiers() &
                                  (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
            const bool printable = !text.isEmpty() && text.front().isPrint();
            if (!command && printable && !std::all_of(text.begin(), text.end(), [](QChar c) {
                    return c >= u'0' && c <= u'9';
                })) {
                QApplication::beep();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

CDialogLayout::CDialogLayout(QWidget* dialog, QSize dialogUnits) : m_dialog(dialog) {
    const QFontMetrics metrics(dialog->font());
    const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const double averageWidth = static_cast<double>(metrics.horizontalAdvance(alphabet)) /
                                static_cast<double>(alphabet.size());
    m_unitX = averageWidth / 4.0;
    m_unitY = static_cast<double>(metrics.height()) / 8.0;
    m_initial = ToPixels(QRect(QPoint(0, 0), dialogUnits)).size();
}

QRect CDialogLayout::ToPixels(QRect units) const {
    return QRect(static_cast<int>(std::lround(units.x() * m_unitX)),
                 static_cast<int>(std::lround(units.y() * m_unitY)),
                 static_cast<int>(std::lround(units.width() * m_unitX)),
                 static_cast<int>(std::lround(units.height() * m_unitY)));
}

void CDialogLayout::Build(const DialogTemplate& dialog) {
    QLabel* pendingBuddy = nullptr;
    for (const DialogControl& control : dialog.m_controls) {
        QWidget* widget = MakeControl(control);
        if (pendingBuddy != nullptr) {
            pendingBuddy->setBuddy(widget);
            pendingBuddy = nullptr;
        }
        // A label with a mnemonic gives the focus to the control after it, as on Windows.
        auto* label = qobject_cast<QLabel*>(widget);
        if (label != nullptr && control.m_strText.find(u'&') != std::u16string_view::npos &&
            control.m_strText.find(u"&&") == std::u16string_view::npos) {
            pendingBuddy = label;
        }
        Add(widget, QRect(control.m_iX, control.m_iY, control.m_iWidth, control.m_iHeight),
            control.m_iMoveX, control.m_iMoveY, control.m_iSizeX, control.m_iSizeY);
        m_items.back().m_iId = control.m_iId;
    }
}

QWidget* CDialogLayout::MakeControl(const DialogControl& control) {
    QString text = QString::fromUtf16(control.m_strText.data(),
                                      static_cast<qsizetype>(control.m_strText.size()));
    switch (control.m_kind) {
        case EControlKind::Group:
            return new QGroupBox(text, m_dialog);
        case EControlKind::List:
            return new QTableView(m_dialog);
        case EControlKind::DefButton: {
            auto* button = new QPushButton(text, m_dialog);
            button->setDefault(true);
            return button;
        }
        case EControlKind::Button:
            return new QPushButton(text, m_dialog);
        case EControlKind::HotKey:
            return new CHotKeyEdit(m_dialog);
        case EControlKind::Number: {
            auto* edit = new QLineEdit(m_dialog);
            edit->installEventFilter(new CDigitKeysOnly(edit));
            return edit;
        }
        case EControlKind::Edit:
            return new QLineEdit(m_dialog);
        case EControlKind::Check:
            return new QCheckBox(text, m_dialog);
        case EControlKind::RadioFirst:
        case EControlKind::Radio:
            return new QRadioButton(text, m_dialog);
        case EControlKind::Icon: {
            auto* icon = new QLabel(m_dialog);
            icon->setPixmap(QIcon(":/icons/quenby-idle.svg").pixmap(32, 32));
            return icon;
        }
        case EControlKind::Label:
        case EControlKind::InfoLabel:
            break;
    }
    // Without a buddy a label shows its text as it is: "&&" is one ampersand on Windows.
    if (!text.contains(QRegularExpression("&[^&]"))) {
        text.replace("&&", "&");
    }
    return new QLabel(text, m_dialog);
}

void CDialogLayout::Add(QWidget* control, QRect units, int moveX, int moveY, int sizeX, int sizeY) {
    QRect rect = ToPixels(units);
    // Texts are sized for the template's font; with another font they may need more room, which
    // they take to the right rather than be cut.
    if (qobject_cast<QLabel*>(control) != nullptr ||
        qobject_cast<QAbstractButton*>(control) != nullptr) {
        rect.setWidth(std::max(rect.width(), control->sizeHint().width()));
    }
    m_items.push_back({control, rect, moveX, moveY, sizeX, sizeY, -1});
    control->setGeometry(m_items.back().m_rect);
}

void CDialogLayout::Apply() {
    const int growX = std::max(0, m_dialog->width() - m_initial.width());
    const int growY = std::max(0, m_dialog->height() - m_initial.height());
    for (const Item& item : m_items) {
        item.m_control->setGeometry(item.m_rect.x() + growX * item.m_moveX / 100,
                                    item.m_rect.y() + growY * item.m_moveY / 100,
                                    item.m_rect.width() + growX * item.m_sizeX / 100,
                                    item.m_rect.height() + growY * item.m_sizeY / 100);
    }
}

}  // namespace quenby
