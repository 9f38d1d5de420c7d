#include "LogListModel.h"

#include "engine/SyncFrontend.h"

namespace kalvex {

TLogListModel::TLogListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TLogListModel::SetImages(const std::array<QIcon, 4>& images) {
    m_images = images;
}

void TLogListModel::AddCaptionRow(const QString& caption) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_rows.append({caption, {}, {}, {}, -1, -1});
    endInsertRows();
}

void TLogListModel::AddActionRows(std::span<const LogRow> rows) {
    if (rows.empty()) {
        return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (const LogRow& row : rows) {
        m_rows.append({QString::fromLocal8Bit(row.fileName), row.timeA, row.action, row.timeB,
                       row.imageIndex, 1});
    }
    endInsertRows();
}

void TLogListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

int TLogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TLogListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TLogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) {
        return {};
    }
    const Row& row = m_rows[index.row()];
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case ColFileName:
                    return row.fileName;
                case ColTimeA:
                    return row.timeA;
                case ColAction:
                    return row.action;
                case ColTimeB:
                    return row.timeB;
                default:
                    return {};
            }
        case Qt::DecorationRole:
            if (index.column() == ColFileName && row.imageIndex >= 0 &&
                row.imageIndex < static_cast<int>(m_images.size())) {
                return m_images[row.imageIndex];
            }
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == ColAction) {
                return QVariant::fromValue(Qt::AlignCenter);
            }
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        case ImageIndexRole:
            return row.imageIndex;
        case IndentRole:
            return row.indent;
        default:
            return {};
    }
}

QVariant TLogListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        static const std::array<QString, ColumnCount> captions = {"File Name", "Time A", "Action",
                                                                  "Time B"};
        return section >= 0 && section < ColumnCount ? captions[section] : QVariant();
    }
    if (role == Qt::TextAlignmentRole && section == ColAction) {
        return QVariant::fromValue(Qt::AlignCenter);
    }
    return {};
}

}  // namespace kalvex
