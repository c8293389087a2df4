#include "ui/BottomView.h"

#include "ui/BottomLeftView.h"
#include "ui/BottomRightView.h"
#include "ui/DisabledSplitter.h"

CBottomView::CBottomView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CBottomView"));
    m_wndSplitter = new CDisabledCSplitterWnd(Qt::Horizontal, this);
    m_wndSplitter->addWidget(new CBottomLeftView);
    m_wndSplitter->addWidget(new CBottomRightView);
    m_wndSplitter->setStretchFactor(0, 0);
    m_wndSplitter->setStretchFactor(1, 1);
}

void CBottomView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int W = width();
    m_wndSplitter->setGeometry(0, 0, W, height());
    m_wndSplitter->SetPaneSizes({W / 3, 2 * W / 3}, {0, 0});
}
