#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QString>

#include <array>
#include <span>

namespace kalvex {

struct LogRow;

// The rows of the log list. A run appends up to a million rows, a hand-off of many at a
// time, and each hand-off is shown at once. A row is kept as its texts' bytes in one
// buffer rather than as strings of its own; a cell's text is made when it is read.
class TLogListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ColFileName, ColTimeA, ColAction, ColTimeB, ColumnCount };
    static constexpr int ImageIndexRole = Qt::UserRole;
    static constexpr int IndentRole = Qt::UserRole + 1;

    explicit TLogListModel(QObject* parent = nullptr);

    // Images of the rows, by image index.
    void SetImages(const std::array<QIcon, 4>& images);

    void AddCaptionRow(const QString& caption);        // header and end rows: no image, indent -1
    void AddActionRows(std::span<const LogRow> rows);  // indent 1
    void Clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row;

    void Put(const Row& row);
    Row Get(int row) const;

    // Row after row: its image index and indent, one byte each, then its four texts in
    // column order, each as its length and its bytes (the name in the local encoding,
    // the others in UTF-8).
    QByteArray m_texts;
    QList<qsizetype> m_starts;  // where each row begins in m_texts
    std::array<QIcon, 4> m_images;
};

}  // namespace kalvex
