#include "qt/MessageListModel.h"

#include <climits>

namespace quenby {
namespace {

QString ToQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void CMessageListModel::SetList(const CMessageList* list) {
    beginResetModel();
    m_pList = list;
    endResetModel();
}

int CMessageListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || m_pList == nullptr) {
        return 0;
    }
    const std::size_t rows = m_pList->GetItemCount();
    return rows > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(rows);
}

int CMessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant CMessageListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || m_pList == nullptr ||
        static_cast<std::size_t>(index.row()) >= m_pList->GetItemCount()) {
        return {};
    }
    return ToQString(m_pList->GetCellText(static_cast<std::size_t>(index.row()), index.column()));
}

QVariant CMessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= COLUMN_COUNT) {
        return {};
    }
    return ToQString(kMessageColumns[static_cast<std::size_t>(section)].m_strHeading);
}

void CMessageListModel::Reset() {
    beginResetModel();
    endResetModel();
}

}  // namespace quenby
