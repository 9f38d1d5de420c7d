#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QString>

#include <array>
#include <span>

namespace kalvex {

struct LogRow;

// The rows of the log list. A run appends up to hundreds of thousands of rows, a hand-off of
// many at a time, and each hand-off is shown at once.
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
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        QString fileName;
        QString timeA;
        QString action;
        QString timeB;
        int imageIndex = -1;
        int indent = -1;
    };

    QList<Row> m_rows;
    std::array<QIcon, 4> m_images;
};

}  // namespace kalvex
