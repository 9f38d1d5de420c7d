#pragma once

#include <QStyledItemDelegate>

namespace kalvex {

// Draws the grid lines of a report list: a thin line under each row and between columns.
class TGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    // The item itself, without the grid; the rect may be moved for an indent.
    virtual void PaintItem(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const;
};

}  // namespace kalvex
