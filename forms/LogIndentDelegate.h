#pragma once

#include "GridDelegate.h"

namespace kalvex {

// Moves the first column of a log row right by its indent, counted in image widths, so the
// action rows stand under their header row.
class TLogIndentDelegate final : public TGridDelegate {
    Q_OBJECT

public:
    using TGridDelegate::TGridDelegate;

    // Rows are as high as their images even where the first row, whose height all rows
    // share, has none.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void PaintItem(QPainter* painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const override;
};

}  // namespace kalvex
