#include "ui/DisabledSplitter.h"

#include <QMouseEvent>
#include <algorithm>

CDisabledCSplitterWnd::CDisabledCSplitterWnd(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent) {
    setHandleWidth(kBar);
    setContentsMargins(kBorder, kBorder, kBorder, kBorder);
    setChildrenCollapsible(false);
    setOpaqueResize(true);
}

QSplitterHandle* CDisabledCSplitterWnd::createHandle() {
    return new CDisabledSplitterHandle(orientation(), this);
}

int CDisabledCSplitterWnd::AvailableLength() const {
    const QRect inner = contentsRect();
    const int length = orientation() == Qt::Horizontal ? inner.width() : inner.height();
    return std::max(0, length - kBar * std::max(0, int(count()) - 1));
}

void CDisabledCSplitterWnd::SetPaneSizes(const QList<int>& ideal, const QList<int>& minimum) {
    const int n = int(count());
    if (n == 0) return;
    QList<int> sizes;
    int left = AvailableLength();
    for (int i = 0; i < n - 1; ++i) {
        const int want =
            std::max(i < ideal.size() ? ideal[i] : 0, i < minimum.size() ? minimum[i] : 0);
        const int size = std::clamp(want, 0, left);
        sizes << size;
        left -= size;
    }
    sizes << left;  // the last pane takes the rest
    setSizes(sizes);
}

CDisabledSplitterHandle::CDisabledSplitterHandle(Qt::Orientation orientation, QSplitter* parent)
    : QSplitterHandle(orientation, parent) {
    setCursor(Qt::ArrowCursor);
    setMouseTracking(false);
}

void CDisabledSplitterHandle::mousePressEvent(QMouseEvent* event) {
    event->accept();
}
void CDisabledSplitterHandle::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}
void CDisabledSplitterHandle::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
void CDisabledSplitterHandle::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

void CDisabledSplitterHandle::paintEvent(QPaintEvent*) {
    // A plain gap: no grip dots that would invite a drag.
}

bool CDisabledSplitterHandle::event(QEvent* event) {
    // No hover highlight either: the bar is not something to grab.
    if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave ||
        event->type() == QEvent::HoverMove) {
        return true;
    }
    return QSplitterHandle::event(event);
}
