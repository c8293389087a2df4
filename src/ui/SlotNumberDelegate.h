#pragma once

#include "widgets/CJListCtrl.h"

/// Paints the slot list's first column with the slot number (the row index)
/// in a narrow gutter at its left, then the row as usual beside it. The
/// row's text stays the slot's name, exactly as the instrument gave it.
/// Rows keep the song lists' height whether or not they show an icon.
class CSlotNumberDelegate : public CCJListItemDelegate {
    Q_OBJECT

  public:
    using CCJListItemDelegate::CCJListItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    /// The gutter's width for the font of `option`: room for "255".
    static int GutterWidth(const QStyleOptionViewItem& option);
};
