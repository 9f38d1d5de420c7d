#pragma once

#include "GridDelegate.h"

namespace kalvex {

// Moves the first column of a log row right by its indent, counted in image widths, so the
// action rows stand under their header row.
class TLogIndentDelegate final : public TGridDelegate {
    Q_OBJECT

public:
    using TGridDelegate::TGridDelegate;

protected:
    void PaintItem(QPainter* painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const override;
};

}  // namespace kalvex
