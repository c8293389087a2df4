#include "ui/TopView.h"

#include "ui/DisabledSplitter.h"
#include "ui/TopLeftView.h"
#include "ui/TopMiddleView.h"
#include "ui/TopRightView.h"

CTopView::CTopView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CTopView"));
    m_wndSplitter = new CDisabledCSplitterWnd(Qt::Horizontal, this);
    m_wndSplitter->addWidget(new CTopLeftView);
    m_wndSplitter->addWidget(new CTopMiddleView);
    m_wndSplitter->addWidget(new CTopRightView);
    for (int i = 0; i < 3; ++i) m_wndSplitter->setStretchFactor(i, i == 2 ? 1 : 0);
}

void CTopView::ApplyColumnRule() {
    const int W = width();
    const int H = height();
    if (W <= 300) return;
    m_wndSplitter->setGeometry(0, 0, W, H);
    m_wndSplitter->SetPaneSizes({W / 3 - 110, 110, 2 * W / 3}, {0, 110, 0});
}

void CTopView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyColumnRule();
}
