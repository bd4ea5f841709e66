#include "qt/DialogLayout.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <cmath>

namespace quenby {

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

void CDialogLayout::Add(QWidget* control, QRect units, int moveX, int moveY, int sizeX, int sizeY) {
    QRect rect = ToPixels(units);
    // Texts are sized for the template's font; with another font they may need more room, which
    // they take to the right rather than be cut.
    if (qobject_cast<QLabel*>(control) != nullptr ||
        qobject_cast<QAbstractButton*>(control) != nullptr) {
        rect.setWidth(std::max(rect.width(), control->sizeHint().width()));
    }
    m_items.push_back({control, rect, moveX, moveY, sizeX, sizeY});
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
