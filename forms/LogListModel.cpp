#include "LogListModel.h"

#include "engine/SyncFrontend.h"

namespace kalvex {

namespace {

// A length in groups of seven bits, the lowest first; a set high bit says another follows.
void PutLength(QByteArray& texts, qsizetype length) {
    auto rest = static_cast<quint64>(length);
    while (rest >= 0x80) {
        texts.append(static_cast<char>((rest & 0x7f) | 0x80));
        rest >>= 7;
    }
    texts.append(static_cast<char>(rest));
}

QByteArrayView TakeText(const char*& at) {
    quint64 length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*at++);
        length |= static_cast<quint64>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0) {
            break;
        }
    }
    const QByteArrayView text(at, static_cast<qsizetype>(length));
    at += length;
    return text;
}

}  // namespace

struct TLogListModel::Row {
    std::array<QByteArrayView, ColumnCount> texts;
    int imageIndex = -1;
    int indent = -1;
};

TLogListModel::TLogListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TLogListModel::SetImages(const std::array<QIcon, 4>& images) {
    m_images = images;
}

void TLogListModel::AddCaptionRow(const QString& caption) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    Put({{caption.toLocal8Bit()}, -1, -1});
    endInsertRows();
}

void TLogListModel::AddActionRows(std::span<const LogRow> rows) {
    if (rows.empty()) {
        return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (const LogRow& row : rows) {
        Put({{row.fileName, row.timeA.toUtf8(), row.action.toUtf8(), row.timeB.toUtf8()},
             row.imageIndex,
             1});
    }
    endInsertRows();
}

void TLogListModel::Put(const Row& row) {
    Q_ASSERT(row.imageIndex >= -1 && row.imageIndex < 127);
    m_starts.append(m_texts.size());
    m_texts.append(static_cast<char>(row.imageIndex));
    m_texts.append(static_cast<char>(row.indent));
    for (const QByteArrayView text : row.texts) {
        PutLength(m_texts, text.size());
        m_texts.append(text);
    }
}

TLogListModel::Row TLogListModel::Get(int row) const {
    const char* at = m_texts.constData() + m_starts[row];
    Row result;
    result.imageIndex = static_cast<signed char>(*at++);
    result.indent = static_cast<signed char>(*at++);
    for (QByteArrayView& text : result.texts) {
        text = TakeText(at);
    }
    return result;
}

void TLogListModel::Clear() {
    beginResetModel();
    m_texts.clear();
    m_starts = {};
    endResetModel();
}

int TLogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_starts.size());
}

int TLogListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

Qt::ItemFlags TLogListModel::flags(const QModelIndex& index) const {
    // Saying that no row has children spares a tree view a question per row at each layout.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

QVariant TLogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Row row = Get(index.row());
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case ColFileName:
                    return QString::fromLocal8Bit(row.texts[ColFileName]);
                case ColTimeA:
                case ColAction:
                case ColTimeB:
                    return QString::fromUtf8(row.texts[index.column()]);
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
