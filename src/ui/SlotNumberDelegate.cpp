#include "ui/SlotNumberDelegate.h"

#include <QApplication>
#include <QPainter>

int CSlotNumberDelegate::GutterWidth(const QStyleOptionViewItem& option) {
    return option.fontMetrics.horizontalAdvance(QStringLiteral("000")) + 10;
}

void CSlotNumberDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    if (index.column() != 0) return QStyledItemDelegate::paint(painter, option, index);
    const int gutter = GutterWidth(option);
    QStyleOptionViewItem number(option);
    number.rect.setWidth(gutter);
    // The gutter takes the row's background (selection included), then its
    // number; the rest of the cell is painted as usual beside it.
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &number, painter, widget);
    painter->save();
    const bool bSelected = option.state & QStyle::State_Selected;
    painter->setPen(
        option.palette.color(bSelected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    painter->drawText(number.rect.adjusted(2, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter,
                      QString::number(index.row()));
    painter->setPen(option.palette.color(QPalette::Midlight));
    painter->drawLine(number.rect.topRight(), number.rect.bottomRight());
    painter->restore();

    QStyleOptionViewItem rest(option);
    rest.rect.setLeft(option.rect.left() + gutter);
    QStyledItemDelegate::paint(painter, rest, index);
}

QSize CSlotNumberDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QSize size = CCJListItemDelegate::sizeHint(option, index);
    if (index.column() == 0) size.rwidth() += GutterWidth(option);
    return size;
}
