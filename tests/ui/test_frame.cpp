// The main window: its size limits, the row and column rules, the pixel
// rectangles of the buttons and the progress bar, the bars that cannot be
// dragged, the pane lookup and what start-up leaves on disk.
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QToolBar>
#include <QtTest>

#include "ui/BottomLeftView.h"
#include "ui/BottomRightView.h"
#include "ui/BottomView.h"
#include "ui/DisabledSplitter.h"
#include "ui/MainFrame.h"
#include "ui/MiddleView.h"
#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/TopLeftView.h"
#include "ui/TopMiddleView.h"
#include "ui/TopRightView.h"
#include "ui/TopView.h"
#include "widgets/GdipButton.h"
#include "widgets/SplashWnd.h"
#include "widgets/XProgressCtrl.h"

class TestFrame : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void startUpLeavesRepositoryAndNoProbeFile();
    void minimumSizeIs800By600();
    void rowHeights_data();
    void rowHeights();
    void topColumnsFollowWidthAbove300_data();
    void topColumnsFollowWidthAbove300();
    void topColumnsUnchangedAt300OrLess();
    void bottomColumnsAreThirds();
    void middleButtonsKeepTheirRectangles_data();
    void middleButtonsKeepTheirRectangles();
    void frameResizeMovesEveryControl();
    void barsCannotBeDragged_data();
    void barsCannotBeDragged();
    void paneLookupFindsEveryPane();
    void frameAnswersTheSplash();
    void aboutButtonShowsTheAboutBox();
    void tabReachesTheButtonsInScreenOrder();

  private:
    CMainFrame* m_pFrame = nullptr;
};

void TestFrame::init() {
    m_pFrame = new CMainFrame;
    QVERIFY(m_pFrame->Create());
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame));
}

void TestFrame::cleanup() {
    delete m_pFrame;
    m_pFrame = nullptr;
}

void TestFrame::startUpLeavesRepositoryAndNoProbeFile() {
    const QString probe = GetProgramFolder() + "tmp.mid";
    {
        QFile stale(probe);  // a probe file left by an earlier run is removed too
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("old");
    }
    QDir(GetProgramFolder() + "Repository").removeRecursively();
    CMainFrame frame;
    QVERIFY(QFileInfo(GetProgramFolder() + "Repository").isDir());
    QVERIFY(!QFile::exists(probe));
    QCOMPARE(GetRepositoryPath(), GetProgramFolder() + "Repository/");
    QVERIFY(GetProgramFolder().endsWith('/'));
}

void TestFrame::minimumSizeIs800By600() {
    QCOMPARE(m_pFrame->minimumSize(), QSize(800, 600));
    QCOMPARE(m_pFrame->size(), QSize(800, 600));
    m_pFrame->resize(640, 480);
    QCOMPARE(m_pFrame->size(), QSize(800, 600));
    QCOMPARE(m_pFrame->windowTitle(), QString("Velnor"));
    QVERIFY(!m_pFrame->findChild<QMenuBar*>());
    QVERIFY(!m_pFrame->findChild<QStatusBar*>());
    QVERIFY(!m_pFrame->findChild<QToolBar*>());
}

void TestFrame::rowHeights_data() {
    QTest::addColumn<int>("height");  // the outer height, frame included
    QTest::addColumn<int>("top");
    QTest::newRow("650") << 650 << 236;
    QTest::newRow("700") << 700 << 256;
    QTest::newRow("1001") << 1001 << 376;
    QTest::newRow("1200") << 1200 << 456;
}

void TestFrame::rowHeights() {
    QFETCH(int, height);
    QFETCH(int, top);
    QCOMPARE(CMainFrame::TopRowHeight(600), 216);  // 216, 60 and 324 at 600
    const int frameExtra = m_pFrame->frameGeometry().height() - m_pFrame->height();
    m_pFrame->resize(900, height - frameExtra);
    QCOMPARE(m_pFrame->frameGeometry().height(), height);
    QCOMPARE(GetTopView(m_pFrame)->height(), top);
    QCOMPARE(GetMiddleView(m_pFrame)->height(), 60);
    // The bottom row takes what is left of the client inside the borders and bars.
    const int client = m_pFrame->centralWidget()->height();
    QCOMPARE(GetBottomView(m_pFrame)->height(), client - 2 - 8 - top - 60);
    QCOMPARE(GetTopView(m_pFrame)->y(), 1);
    QCOMPARE(GetMiddleView(m_pFrame)->y(), 1 + top + 4);
}

void TestFrame::topColumnsFollowWidthAbove300_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("start") << 798;
    QTest::newRow("301") << 301;
    QTest::newRow("1000") << 1000;
    QTest::newRow("1917") << 1917;
}

void TestFrame::topColumnsFollowWidthAbove300() {
    QFETCH(int, width);
    CTopView view;
    view.resize(width, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QList<int> sizes = view.Splitter()->sizes();
    QCOMPARE(sizes.size(), 3);
    QCOMPARE(sizes[0], qMax(0, width / 3 - 110));
    QCOMPARE(sizes[1], 110);
    QCOMPARE(sizes[2], width - 2 - 8 - sizes[0] - 110);
    QCOMPARE(view.Splitter()->geometry(), QRect(0, 0, width, 200));
}

void TestFrame::topColumnsUnchangedAt300OrLess() {
    CTopView view;
    view.resize(600, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QList<int> before = view.Splitter()->sizes();
    const QRect geometry = view.Splitter()->geometry();
    for (int width : {300, 250, 120}) {
        view.resize(width, 150);
        QCOMPARE(view.Splitter()->geometry(), geometry);
        QCOMPARE(view.Splitter()->sizes(), before);
    }
}

void TestFrame::bottomColumnsAreThirds() {
    for (int width : {900, 1000, 1500}) {
        m_pFrame->resize(width, 700);
        CBottomView* bottom = GetBottomView(m_pFrame);
        QVERIFY(bottom);
        const int W = bottom->width();
        QCOMPARE(W, width - 2);
        const QList<int> sizes = bottom->Splitter()->sizes();
        QCOMPARE(sizes[0], W / 3);
        QCOMPARE(sizes[1], W - 2 - 4 - W / 3);
        // The list fills its pane.
        CBottomRightView* right = GetBottomRightView(m_pFrame);
        QCOMPARE(right->PaneControl()->geometry(), right->rect());
    }
}

void TestFrame::middleButtonsKeepTheirRectangles_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("798") << 798;
    QTest::newRow("1000") << 1000;
    QTest::newRow("600") << 600;
}

void TestFrame::middleButtonsKeepTheirRectangles() {
    QFETCH(int, width);
    CMiddleView view;
    view.resize(1200, 60);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.resize(width, 60);
    const int W = width;
    QCOMPARE(view.ConnectButton()->geometry(), QRect(30, 18, 110, 40));
    QCOMPARE(view.RefreshButton()->geometry(), QRect(180, 18, 110, 40));
    QCOMPARE(view.CopyUpButton()->geometry(), QRect(W - 450, 18, 100, 40));
    QCOMPARE(view.CopyDownButton()->geometry(), QRect(W - 320, 18, 110, 40));
    QCOMPARE(view.HelpButton()->geometry(), QRect(W - 190, 18, 70, 40));
    QCOMPARE(view.AboutButton()->geometry(), QRect(W - 100, 18, 70, 40));
}

void TestFrame::frameResizeMovesEveryControl() {
    for (QSize size : {QSize(1024, 768), QSize(800, 600), QSize(1400, 650)}) {
        m_pFrame->resize(size);
        CMiddleView* middle = GetMiddleView(m_pFrame);
        const int W = middle->width();
        QCOMPARE(W, size.width() - 2);
        QCOMPARE(middle->AboutButton()->geometry(), QRect(W - 100, 18, 70, 40));
        QCOMPARE(middle->CopyUpButton()->geometry(), QRect(W - 450, 18, 100, 40));
        QCOMPARE(middle->ConnectButton()->geometry(), QRect(30, 18, 110, 40));
        QCOMPARE(GetTopLeftView(m_pFrame)->width(), (size.width() - 2) / 3 - 110);
        CTopMiddleView* pane = GetTopMiddleView(m_pFrame);
        QCOMPARE(pane->width(), 110);
        QCOMPARE(pane->DownloadButton()->geometry(), QRect(14, 35, 94, 50));
        QCOMPARE(pane->ProgressCtrl()->geometry(), QRect(14, 105, 94, 20));
        QVERIFY(!pane->ProgressCtrl()->isVisible());  // shown only during a transfer
    }
}

void TestFrame::barsCannotBeDragged_data() {
    QTest::addColumn<int>("splitter");  // 0 main, 1 top, 2 bottom
    QTest::addColumn<int>("handle");
    QTest::newRow("main, top bar") << 0 << 1;
    QTest::newRow("main, bottom bar") << 0 << 2;
    QTest::newRow("top, first bar") << 1 << 1;
    QTest::newRow("top, second bar") << 1 << 2;
    QTest::newRow("bottom bar") << 2 << 1;
}

void TestFrame::barsCannotBeDragged() {
    QFETCH(int, splitter);
    QFETCH(int, handle);
    CDisabledCSplitterWnd* wnd = splitter == 0   ? m_pFrame->Splitter()
                                 : splitter == 1 ? GetTopView(m_pFrame)->Splitter()
                                                 : GetBottomView(m_pFrame)->Splitter();
    QSplitterHandle* bar = wnd->handle(handle);
    QVERIFY(bar);
    const QList<int> before = wnd->sizes();
    const QPoint start = bar->rect().center();
    const QPoint shift = wnd->orientation() == Qt::Vertical ? QPoint(0, 40) : QPoint(40, 0);
    QTest::mousePress(bar, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + shift), bar->mapToGlobal(start + shift),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(bar, &move);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, start + shift);
    QCOMPARE(wnd->sizes(), before);
    QVERIFY(bar->cursor().shape() != Qt::SplitVCursor);
    QVERIFY(bar->cursor().shape() != Qt::SplitHCursor);
}

void TestFrame::paneLookupFindsEveryPane() {
    const QWidget* anyChild = GetMiddleView(m_pFrame)->ConnectButton();
    QCOMPARE(GetMainFrame(anyChild), m_pFrame);
    QCOMPARE(GetMainFrame(), m_pFrame);
    const QList<QPair<QWidget*, QString>> panes = {
        {GetTopView(anyChild), "CTopView"},
        {GetMiddleView(anyChild), "CMiddleView"},
        {GetBottomView(anyChild), "CBottomView"},
        {GetTopLeftView(anyChild), "CTopLeftView"},
        {GetTopMiddleView(anyChild), "CTopMiddleView"},
        {GetTopRightView(anyChild), "CTopRightView"},
        {GetBottomLeftView(anyChild), "CBottomLeftView"},
        {GetBottomRightView(anyChild), "CBottomRightView"},
    };
    for (const auto& [pane, name] : panes) {
        QVERIFY2(pane, qPrintable(name));
        QCOMPARE(pane->objectName(), name);
    }
    QVERIFY(!GetColumnPane(1, 0, anyChild));  // the middle row has no columns
    QVERIFY(!GetColumnPane(0, 3, anyChild));
    QVERIFY(!GetRowPane(3, anyChild));
    QVERIFY(GetTopLeftView(anyChild)->SlotList());
    QVERIFY(GetTopRightView(anyChild)->RepositoryList());
    QVERIFY(GetBottomLeftView(anyChild)->FolderTree());
}

void TestFrame::frameAnswersTheSplash() {
    QVERIFY(!m_pFrame->SplashDone());
    QSignalSpy done(m_pFrame, &CMainFrame::splashDone);
    CSplashWnd::EnableSplashScreen();
    CSplashWnd::ShowSplashScreen(m_pFrame);
    QVERIFY(CSplashWnd::Instance());
    QTRY_VERIFY(m_pFrame->SplashDone());
    QCOMPARE(done.count(), 1);
    QVERIFY(!CSplashWnd::Instance());
}

void TestFrame::aboutButtonShowsTheAboutBox() {
    QString title;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box) return;
        closer.stop();
        title = box->windowTitle();
        box->accept();
    });
    closer.start(5);
    GetMiddleView(m_pFrame)->AboutButton()->click();
    QCOMPARE(title, QString("About Velnor"));
}

void TestFrame::tabReachesTheButtonsInScreenOrder() {
    m_pFrame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pFrame));
    CMiddleView* middle = GetMiddleView(m_pFrame);
    CGdipButton* download = GetTopMiddleView(m_pFrame)->DownloadButton();
    const QList<CGdipButton*> expected = {download,
                                          middle->ConnectButton(),
                                          middle->RefreshButton(),
                                          middle->CopyUpButton(),
                                          middle->CopyDownButton(),
                                          middle->HelpButton(),
                                          middle->AboutButton()};
    download->setFocus();
    QList<CGdipButton*> reached;
    for (int i = 0; i < 20 && reached.size() < expected.size(); ++i) {
        if (auto* button = qobject_cast<CGdipButton*>(QApplication::focusWidget())) {
            reached << button;
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(reached, expected);
    // Each says what it does.
    QSet<QString> hints;
    for (CGdipButton* button : expected) hints << button->toolTip();
    QCOMPARE(hints.size(), expected.size());
    QVERIFY(!hints.contains(QString()));
}

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
