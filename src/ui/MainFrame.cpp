#include "ui/MainFrame.h"

#include <QCloseEvent>
#include <QResizeEvent>
#include <algorithm>

#include "common/Prompter.h"
#include "midi/CMidiTrans.h"
#include "ui/BottomView.h"
#include "ui/DisabledSplitter.h"
#include "ui/MiddleView.h"
#include "ui/ProgramFolder.h"
#include "ui/TopView.h"
#include "widgets/GdiPlusBitmapResource.h"
#include "widgets/SplashWnd.h"
#include "workflows/CloseGuard.h"

CMainFrame::CMainFrame() {
    setObjectName(QStringLiteral("CMainFrame"));
    InitStartupPaths();  // the song icon and the repository folder
    // A close refused while a transfer waited for the instrument comes back
    // once the command has returned; posted, since the command's frames are
    // still unwinding when this runs.
    velnor::SetDeferredCloseHandler(
        [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
    // The pointer shows busy over the window while the instrument is busy.
    velnor::CMidiTrans::SetIdleObserver([this](bool bIdle) {
        if (bIdle) {
            unsetCursor();
        } else {
            setCursor(Qt::BusyCursor);
        }
    });
}

CMainFrame::~CMainFrame() {
    velnor::CMidiTrans::SetIdleObserver({});
    velnor::SetDeferredCloseHandler({});
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The panes (and the transfer under way in them) must not go while a
    // command is on the stack or the instrument is being waited for.
    const bool bAlreadyPending = velnor::MainWindowClosePending();
    if (!velnor::RequestMainWindowClose(velnor::CMidiTrans::IsIdle())) {
        // Said once per close request, without stopping the transfer.
        if (!bAlreadyPending) velnor::GetPrompter().Notify(kClosesAfterTransfer);
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

QIcon CMainFrame::ProgramIcon() {
    InitVelnorResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icon/128/%1").arg(size), QSize(size, size));
    }
    return icon;
}

bool CMainFrame::Create() {
    setWindowTitle(QStringLiteral("Velnor"));
    setWindowIcon(ProgramIcon());
    m_wndSplitter = new CDisabledCSplitterWnd(Qt::Vertical, this);
    m_wndSplitter->setObjectName(QStringLiteral("CDisabledCSplitterWnd"));
    m_wndSplitter->addWidget(new CTopView);
    m_wndSplitter->addWidget(new CMiddleView);
    m_wndSplitter->addWidget(new CBottomView);
    if (m_wndSplitter->count() != 3) {
        delete m_wndSplitter;
        m_wndSplitter = nullptr;
        return false;
    }
    for (int i = 0; i < 3; ++i) m_wndSplitter->setStretchFactor(i, i == 2 ? 1 : 0);
    setCentralWidget(m_wndSplitter);
    setMinimumSize(800, 600);
    resize(800, 600);
    m_bPanesReady = true;
    ApplyRowRule();
    return true;
}

void CMainFrame::ApplyRowRule() {
    // The rule is written for the outer height (caption and borders
    // included); without a window manager that is the client height.
    const int h = std::max(frameGeometry().height(), height());
    if (!m_bPanesReady || h <= 100) return;
    m_wndSplitter->SetPaneSizes({TopRowHeight(h), kMiddleRowHeight, (h - 60) * 3 / 5},
                                {100, kMiddleRowHeight, 100});
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    ApplyRowRule();
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == WM_SPLASH_DONE) {
        m_bSplashDone = true;
        emit splashDone();
        return true;
    }
    return QMainWindow::event(event);
}
