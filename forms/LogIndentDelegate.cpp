#include "LogIndentDelegate.h"

#include "LogListModel.h"

#include <algorithm>

namespace kalvex {

namespace {

constexpr int kImageWidth = 16;
constexpr int kRowHeight = kImageWidth + 2;

}  // namespace

void TLogIndentDelegate::PaintItem(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QStyleOptionViewItem shifted = option;
    if (index.column() == TLogListModel::ColFileName) {
        const int indent = index.data(TLogListModel::IndentRole).toInt();
        shifted.rect.setLeft(shifted.rect.left() + std::max(0, indent) * kImageWidth);
    }
    TGridDelegate::PaintItem(painter, shifted, index);
}

QSize TLogIndentDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    const QSize size = TGridDelegate::sizeHint(option, index);
    return {size.width(), std::max(size.height(), kRowHeight)};
}

}  // namespace kalvex
