#include "LogListModel.h"

#include "engine/SyncFrontend.h"

namespace kalvex {

namespace {

constexpr int kBatchMilliseconds = 50;

}  // namespace

TLogListModel::TLogListModel(QObject* parent) : QAbstractTableModel(parent) {
    m_batch.setSingleShot(true);
    m_batch.setInterval(kBatchMilliseconds);
    connect(&m_batch, &QTimer::timeout, this, &TLogListModel::Flush);
}

void TLogListModel::SetImages(const std::array<QIcon, 4>& images) {
    m_images = images;
}

void TLogListModel::AddCaptionRow(const QString& caption) {
    Append({caption, {}, {}, {}, -1, -1});
}

void TLogListModel::AddActionRow(const LogRow& row) {
    Append({QString::fromLocal8Bit(row.fileName), row.timeA, row.action, row.timeB, row.imageIndex,
            1});
}

void TLogListModel::Append(Row row) {
    m_rows.append(std::move(row));
    if (!m_batch.isActive()) {
        m_batch.start();
    }
}

void TLogListModel::Flush() {
    m_batch.stop();
    if (m_shown == m_rows.size()) {
        return;
    }
    beginInsertRows({}, static_cast<int>(m_shown), static_cast<int>(m_rows.size() - 1));
    m_shown = m_rows.size();
    endInsertRows();
}

void TLogListModel::Clear() {
    m_batch.stop();
    beginResetModel();
    m_rows.clear();
    m_shown = 0;
    endResetModel();
}

int TLogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_shown);
}

int TLogListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TLogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shown) {
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
