#pragma once

#include <QStyledItemDelegate>

/// Paints the slot list's first column with the slot number (the row index)
/// in a narrow gutter at its left, then the row as usual beside it. The
/// row's text stays the slot's name, exactly as the instrument gave it.
class CSlotNumberDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    /// The gutter's width for the font of `option`: room for "255".
    static int GutterWidth(const QStyleOptionViewItem& option);
};
