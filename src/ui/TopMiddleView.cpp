#include "ui/TopMiddleView.h"

#include "ui/Resource.h"
#include "widgets/GdipButton.h"
#include "widgets/XProgressCtrl.h"

CTopMiddleView::CTopMiddleView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CTopMiddleView"));
    m_btnDownload = new CGdipButton(this);
    m_btnDownload->setObjectName(QString::number(IDC_BTN_DOWNLOAD));
    m_btnDownload->setAccessibleName(tr("Download"));
    m_btnDownload->LoadImages(150, 149);
    connect(m_btnDownload, &CGdipButton::clicked, this, &CTopMiddleView::downloadClicked);

    m_wndProgress = new CXProgressCtrl(this);
    m_wndProgress->setObjectName(QString::number(IDC_PROGRESS));
    m_wndProgress->setRange(0, 100);
    m_wndProgress->setValue(0);
    m_wndProgress->hide();
}

void CTopMiddleView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int W = width();
    m_btnDownload->setGeometry(14, 35, W - 16, 50);
    m_wndProgress->setGeometry(14, 105, W - 16, 20);
}
