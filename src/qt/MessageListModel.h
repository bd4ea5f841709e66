#pragma once

#include <QAbstractTableModel>

#include "engine/MessageList.h"

namespace quenby {

// The message list as Qt's table view reads it: rows and cells straight from the core list, so a
// million rows cost nothing until they are on screen.
class CMessageListModel final : public QAbstractTableModel {
public:
    explicit CMessageListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The list to show; none shows no rows.
    void SetList(const CMessageList* list);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // The core list changed: the view reads it again.
    void Reset();

private:
    const CMessageList* m_pList = nullptr;
};

}  // namespace quenby
