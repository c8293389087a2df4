#include "ui/TopMiddleView.h"

#include <QAction>

#include "ui/ProgressBarAdapter.h"
#include "ui/Resource.h"
#include "widgets/GdipButton.h"
#include "widgets/XProgressCtrl.h"

CTopMiddleView::CTopMiddleView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CTopMiddleView"));
    m_btnDownload = new CGdipButton(this);
    m_btnDownload->setObjectName(QString::number(IDC_BTN_DOWNLOAD));
    m_btnDownload->setAccessibleName(tr("Download"));
    m_btnDownload->LoadImages(150, 149);
    m_btnDownload->setToolTip(
        tr("Sends the song selected in the Repository into the slot selected in the slot "
           "list (connect first)"));
    connect(m_btnDownload, &CGdipButton::clicked, this, &CTopMiddleView::downloadClicked);
    connect(this, &CTopMiddleView::downloadClicked, this, &CTopMiddleView::OnDownload);

    m_wndProgress = new CXProgressCtrl(this);
    m_wndProgress->setObjectName(QString::number(IDC_PROGRESS));
    m_wndProgress->setRange(0, 100);
    m_wndProgress->setValue(0);
    m_wndProgress->hide();
    m_pProgress = std::make_unique<CProgressBarAdapter>(*m_wndProgress);

    // Upload has no button of its own: Ctrl+U anywhere in the window.
    m_pUploadAction = new QAction(tr("Upload"), this);
    m_pUploadAction->setObjectName(QString::number(IDC_BTN_UPLOAD));
    m_pUploadAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    m_pUploadAction->setShortcutContext(Qt::WindowShortcut);
    addAction(m_pUploadAction);
    connect(m_pUploadAction, &QAction::triggered, this, &CTopMiddleView::OnUpload);
}

CTopMiddleView::~CTopMiddleView() = default;

void CTopMiddleView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int W = width();
    m_btnDownload->setGeometry(14, 35, W - 16, 50);
    m_wndProgress->setGeometry(14, 105, W - 16, 20);
}
