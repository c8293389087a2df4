#include "widgets/CJFlatHeaderCtrl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

CCJFlatHeaderCtrl::CCJFlatHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetHeaderFont(false);
}

void CCJFlatHeaderCtrl::SetHeaderFont(bool bBold) {
    m_font = QApplication::font("QMessageBox");
    if (bBold) m_font.setWeight(QFont::Bold);
    m_bBold = bBold;
    setFont(m_font);
    viewport()->update();
}

int CCJFlatHeaderCtrl::SetSortMark(int column, bool bAscending) {
    const int previous = m_nSortColumn;
    m_nSortColumn = column;
    m_bSortAscending = bAscending;
    viewport()->update();
    return previous;
}

void CCJFlatHeaderCtrl::mousePressEvent(QMouseEvent* event) {
    m_nPressed =
        event->button() == Qt::LeftButton ? logicalIndexAt(event->position().toPoint()) : -1;
    QHeaderView::mousePressEvent(event);
}

void CCJFlatHeaderCtrl::mouseReleaseEvent(QMouseEvent* event) {
    m_nPressed = -1;
    QHeaderView::mouseReleaseEvent(event);
    viewport()->update();
}

void CCJFlatHeaderCtrl::paintEvent(QPaintEvent* event) {
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Button);
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor highlight = pal.color(QPalette::Light);
    {
        QPainter p(viewport());
        p.fillRect(viewport()->rect(), face);
    }
    QHeaderView::paintEvent(event);  // the sections, through paintSection()

    QPainter p(viewport());
    const QRect r = viewport()->rect();
    // Flatten the frame: face over the old edge, then one etched line.
    p.setPen(face);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.drawRect(r.adjusted(1, 1, -2, -2));
    p.setPen(highlight);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(shadow);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());

    // Etched dividers at the right end of every column, in display order.
    int x = -offset();
    for (int visual = 0; visual < count(); ++visual) {
        const int logical = logicalIndex(visual);
        if (isSectionHidden(logical)) continue;
        x += sectionSize(logical);
        const int top = 2;
        const int bottom = r.bottom() - 2;
        p.setPen(shadow);
        p.drawLine(x, top, x, bottom);
        p.setPen(highlight);
        p.drawLine(x + 1, top, x + 1, bottom);
        p.setPen(face);
        p.drawLine(x - 1, top, x - 1, bottom);
        p.drawLine(x - 2, top, x - 2, bottom);
    }
}

void CCJFlatHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    painter->fillRect(rect, palette().color(QPalette::Button));
    painter->setClipRect(rect);

    QRect text = rect;
    if (logicalIndex == m_nPressed) text.adjust(1, 2, 1, 0);
    if (logicalIndex == m_nSortColumn) text.adjust(0, 0, -3 * kMargin, 0);
    text.adjust(kMargin, 0, -kMargin, 0);
    if (text.width() > 0 && model()) {
        const QString title =
            model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        const QVariant align =
            model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole);
        const Qt::Alignment horizontal =
            align.isValid() ? Qt::Alignment(align.toInt()) & Qt::AlignHorizontal_Mask
                            : Qt::AlignLeft;
        painter->setFont(m_font);
        painter->setPen(palette().color(QPalette::ButtonText));
        const QString shown =
            painter->fontMetrics().elidedText(title, Qt::ElideRight, text.width());
        painter->drawText(text, horizontal | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    if (logicalIndex == m_nSortColumn) DrawSortMark(painter, rect);
    painter->restore();
}

void CCJFlatHeaderCtrl::DrawSortMark(QPainter* p, const QRect& rect) const {
    // Right and bottom are the item's outer edges (one past its last pixel).
    const int R = rect.x() + rect.width();
    const int B = rect.y() + rect.height();
    const int T = rect.y();
    const int o = kMargin;
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor highlight = palette().color(QPalette::Light);
    if (m_bSortAscending) {
        p->setPen(highlight);
        p->drawPolyline(QPolygon({QPoint(R - 2 * o, T + o - 1), QPoint(R - 3 * o / 2, B - o),
                                  QPoint(R - 5 * o / 2 - 2, B - o)}));
        p->setPen(shadow);
        p->drawLine(R - 5 * o / 2 - 1, B - o - 1, R - 2 * o, T + o - 2);
    } else {
        p->setPen(highlight);
        p->drawLine(R - 3 * o / 2, T + o - 1, R - 2 * o - 1, B - o + 1);
        p->setPen(shadow);
        p->drawPolyline(
            QPolygon({QPoint(R - 2 * o - 1, B - o), QPoint(R - 5 * o / 2 - 1, T + o - 1),
                      QPoint(R - 3 * o / 2, T + o - 1)}));
    }
}
