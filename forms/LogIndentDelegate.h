#pragma once

#include <QStyledItemDelegate>

namespace kalvex {

// Moves the first column of a log row right by its indent, counted in image widths, so the
// action rows stand under their header row.
class TLogIndentDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace kalvex
