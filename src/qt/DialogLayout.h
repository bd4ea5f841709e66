#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

#include "app/DialogTemplates.h"

namespace quenby {

// Places controls in dialog units (a quarter of the font's average character width, an eighth of
// its height) and moves or stretches each one by a share of the window's growth, as the dialog
// templates describe them.
class CDialogLayout {
public:
    CDialogLayout(QWidget* dialog, QSize dialogUnits);

    // Makes every control of the template, in its order (which is also the tab order), with its
    // caption, and places it by the template's rectangle and shares.
    void Build(const DialogTemplate& dialog);
    // The control of the built template with the id (the first when several share it), as T.
    template <class T>
    T* Control(int id) const {
        for (const Item& item : m_items) {
            if (item.m_iId == id) {
                return dynamic_cast<T*>(item.m_control);
            }
        }
        return nullptr;
    }
    // Adds a control at its template rectangle; the four percentages say how much of the growth
    // it moves right, moves down, widens and grows taller by.
    void Add(QWidget* control, QRect units, int moveX = 0, int moveY = 0, int sizeX = 0,
             int sizeY = 0);
    // The size of the client area the template gives.
    QSize InitialSize() const { return m_initial; }
    // Places every control for the dialog's current size.
    void Apply();
    QRect ToPixels(QRect units) const;

private:
    QWidget* MakeControl(const DialogControl& control);
    struct Item {
        QWidget* m_control;
        QRect m_rect;  // pixels, at the initial size
        int m_moveX, m_moveY, m_sizeX, m_sizeY;
        int m_iId = -1;
    };
    QWidget* m_dialog;
    double m_unitX;
    double m_unitY;
    QSize m_initial;
    std::vector<Item> m_items;
};

}  // namespace quenby
