// The toolkit widgets, checked by their pixels: the progress bar's colours
// and text, the header's sort mark, the picture button's faces, and the
// splash window's size and closing.
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "widgets/CJFlatHeaderCtrl.h"
#include "widgets/CJListCtrl.h"
#include "widgets/GdipButton.h"
#include "widgets/SplashWnd.h"
#include "widgets/StringTable.h"
#include "widgets/XProgressCtrl.h"

namespace {

// Text pixels: dark ones (black text) and near-white ones (white text). The
// grey and blue fills are neither.
int CountText(const QImage& image, const QRect& area, bool white) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int lo = qMin(c.red(), qMin(c.green(), c.blue()));
            const int hi = qMax(c.red(), qMax(c.green(), c.blue()));
            n += white ? lo > 245 : hi < 100;
        }
    }
    return n;
}

// Counts strongly blue and strongly red pixels: the icon of a face.
QPair<int, int> BlueAndRed(const QImage& image, const QRect& area) {
    int blue = 0;
    int red = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 255) continue;  // edges blended with the transparent ground
            blue += c.blue() > c.red() + 80;
            red += c.red() > c.blue() + 80;
        }
    }
    return {blue, red};
}

class CountingList : public CCJListCtrl {
  public:
    QList<QPair<int, bool>> sorts;
    QList<int> menuRows;

  protected:
    void SortList(int column, bool ascending) override { sorts << qMakePair(column, ascending); }
    void OnContextMenu(const QPoint&, int row) override { menuRows << row; }
};

class SplashTarget : public QWidget {
  public:
    int done = 0;

  protected:
    bool event(QEvent* e) override {
        if (e->type() == WM_SPLASH_DONE) {
            ++done;
            return true;
        }
        return QWidget::event(e);
    }
};

}  // namespace

class TestWidgets : public QObject {
    Q_OBJECT

  private slots:
    void progressText_data();
    void progressText();
    void progressColours_data();
    void progressColours();
    void headerMarkFollowsClicks_data();
    void headerMarkFollowsClicks();
    void headerMarkPixels_data();
    void headerMarkPixels();
    void listBuildsColumnsAndHandsOverClicks();
    void pictures_data();
    void pictures();
    void missingPictureDrawsNothing();
    void headerSpansTheList();
    void rowsKeepTheirHeightWithoutAnIconInTheFirstRow();
    void buttonFaces();
    void buttonDoubleClickGivesTwoClicks();
    void splashSizeAndClosing();
};

void TestWidgets::progressText_data() {
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << 100 << 0 << "0% ";
    QTest::newRow("full") << 100 << 100 << "100% ";
    QTest::newRow("half up") << 200 << 1 << "1% ";
    QTest::newRow("12.5") << 1000 << 125 << "13% ";
    QTest::newRow("12.4") << 1000 << 124 << "12% ";
    QTest::newRow("no range") << 0 << 0 << "0% ";
}

void TestWidgets::progressText() {
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(QString, text);
    CXProgressCtrl bar;
    bar.setRange(0, maximum);
    bar.setValue(value);
    QCOMPARE(bar.PaintedText(), text);
}

void TestWidgets::progressColours_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("left");
    QTest::addColumn<QColor>("right");
    QTest::addColumn<bool>("blackText");
    QTest::addColumn<bool>("whiteText");
    const QColor back(235, 235, 235);
    const QColor bar(128, 128, 255);
    QTest::newRow("0%") << 0 << back << back << true << false;
    QTest::newRow("50%") << 50 << bar << back << true << true;
    QTest::newRow("100%") << 100 << bar << bar << false << true;
}

void TestWidgets::progressColours() {
    QFETCH(int, value);
    QFETCH(QColor, left);
    QFETCH(QColor, right);
    QFETCH(bool, blackText);
    QFETCH(bool, whiteText);
    QWidget parent;
    CXProgressCtrl bar(&parent);
    bar.setGeometry(0, 0, 200, 24);
    bar.setRange(0, 100);
    bar.setValue(value);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    const QImage image = bar.grab().toImage();
    QCOMPARE(image.pixelColor(3, 4).name(), left.name());
    QCOMPARE(image.pixelColor(196, 4).name(), right.name());
    QCOMPARE(image.pixelColor(0, 0).name(), bar.palette().color(QPalette::Dark).name());
    // The text sits in the middle: black over the empty part, white over the
    // done part, and at 50% the split runs through it.
    const QRect middle(70, 2, 60, 20);
    QCOMPARE(CountText(image, middle, false) > 0, blackText);
    QCOMPARE(CountText(image, middle, true) > 0, whiteText);
    if (value == 50) {  // the done part ends at x = 2 + 98
        QCOMPARE(CountText(image, QRect(101, 2, 30, 20), true), 0);
        QCOMPARE(CountText(image, QRect(70, 2, 29, 20), false), 0);
    }
}

void TestWidgets::headerMarkFollowsClicks_data() {
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("ascending");
    QTest::newRow("first click on column 0 points down") << QList<int>{0} << 0 << false;
    QTest::newRow("first click elsewhere points up") << QList<int>{2} << 2 << true;
    QTest::newRow("second click flips") << QList<int>{1, 1} << 1 << false;
    QTest::newRow("third click flips back") << QList<int>{1, 1, 1} << 1 << true;
    QTest::newRow("moving resets to up") << QList<int>{1, 1, 2} << 2 << true;
    QTest::newRow("back to column 0") << QList<int>{0, 2, 0} << 0 << true;
}

void TestWidgets::headerMarkFollowsClicks() {
    QFETCH(QList<int>, clicks);
    QFETCH(int, column);
    QFETCH(bool, ascending);
    CountingList list;
    list.BuildColumns({{5001, 100}, {5035, 100}, {5003, 80}});
    QVERIFY(list.InstallFlatHeader(false));
    list.resize(400, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.FlatHeader()->SortColumn(), -1);  // no mark before the first click
    QHeaderView* header = list.header();
    for (int c : clicks) {
        const QPoint at(header->sectionViewportPosition(c) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    QCOMPARE(list.FlatHeader()->SortColumn(), column);
    QCOMPARE(list.FlatHeader()->IsSortAscending(), ascending);
    QCOMPARE(list.sorts.size(), clicks.size());
    QCOMPARE(list.sorts.last(), qMakePair(column, ascending));
}

void TestWidgets::headerMarkPixels_data() {
    QTest::addColumn<bool>("ascending");
    QTest::newRow("up") << true;
    QTest::newRow("down") << false;
}

void TestWidgets::headerMarkPixels() {
    QFETCH(bool, ascending);
    CCJListCtrl list;
    list.BuildColumns({{5001, 120}, {5035, 120}});
    QVERIFY(list.InstallFlatHeader(false));
    list.resize(300, 120);
    list.FlatHeader()->SetSortMark(0, ascending);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    CCJFlatHeaderCtrl* header = list.FlatHeader();
    const QImage image = header->viewport()->grab().toImage();
    const QPalette pal = header->palette();
    const int R = 120;  // right edge of column 0
    const int B = image.height();
    // Up: a highlight base line near the bottom, only the apex at the top.
    // Down: a shadow line across the top, only the apex at the bottom.
    const QColor top = image.pixelColor(R - 15, 5);
    const QColor bottom = image.pixelColor(R - 15, B - 6);
    QCOMPARE(top.name(),
             (ascending ? pal.color(QPalette::Button) : pal.color(QPalette::Dark)).name());
    QCOMPARE(bottom.name(),
             (ascending ? pal.color(QPalette::Light) : pal.color(QPalette::Button)).name());
    // The unmarked column has no mark.
    QCOMPARE(image.pixelColor(2 * R - 15, 5).name(), pal.color(QPalette::Button).name());
    QCOMPARE(image.pixelColor(2 * R - 15, B - 6).name(), pal.color(QPalette::Button).name());
    // An etched divider at the end of each column.
    QCOMPARE(image.pixelColor(R, B / 2).name(), pal.color(QPalette::Dark).name());
    QCOMPARE(image.pixelColor(R + 1, B / 2).name(), pal.color(QPalette::Light).name());
}

void TestWidgets::listBuildsColumnsAndHandsOverClicks() {
    CountingList list;
    list.BuildColumns({{5036, 150}, {5035, 100}, {5003, 55}});
    QVERIFY(list.InstallFlatHeader(false));
    QCOMPARE(list.columnCount(), 3);
    QCOMPARE(list.headerItem()->text(0), QString("Repository"));
    QCOMPARE(list.headerItem()->text(2), QString("Size"));
    QCOMPARE(list.columnWidth(0), 150);  // widths survive the new header
    QCOMPARE(list.columnWidth(1), 100);
    QVERIFY(LoadResString(4999).isEmpty());
    for (int i = 0; i < 4; ++i) list.InsertItem(i, QString("song%1.mid").arg(i));
    list.SetItemText(2, 1, "Blue Tune");
    QCOMPARE(list.GetItemCount(), 4);
    QCOMPARE(list.GetItemText(2, 1), QString("Blue Tune"));
    QCOMPARE(list.GetItemText(9, 0), QString());
    QCOMPARE(list.selectionMode(), QAbstractItemView::ExtendedSelection);
    list.GetItem(3)->setSelected(true);
    list.GetItem(1)->setSelected(true);
    QCOMPARE(list.GetSelectedRows(), (QList<int>{1, 3}));
    list.resize(300, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const QPoint onRow = list.visualItemRect(list.GetItem(1)).center();
    const QPoint offRows(10, list.viewport()->height() - 5);
    for (QPoint at : {onRow, offRows}) {
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(list.viewport(), &menu);
    }
    QCOMPARE(list.menuRows, (QList<int>{1, -1}));
}

void TestWidgets::pictures_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QSize>("size");
    const QSize download(229, 91), wide(315, 100), narrow(208, 100);
    const QList<QPair<int, QSize>> faces = {
        {149, download}, {150, download}, {151, wide},   {152, wide}, {153, wide},
        {154, narrow},   {155, narrow},   {156, wide},   {157, wide}, {158, wide},
        {159, wide},     {160, narrow},   {161, narrow}, {162, wide},
    };
    for (const auto& [id, size] : faces) QTest::addRow("%d", id) << id << size;
}

void TestWidgets::pictures() {
    QFETCH(int, id);
    QFETCH(QSize, size);
    CGdiPlusBitmapResource picture;
    QVERIFY(picture.LoadFromResource(id, "PNG"));
    const QImage& image = picture.Image();
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(image.dotsPerMeterX(), 11800);
    QCOMPARE(image.dotsPerMeterY(), 11800);
    QCOMPARE(image.pixelColor(0, 0).alpha(), 0);  // rounded, transparent corners
    // The plate's own colour halfway down, past the caption.
    const QColor plate = image.pixelColor(size.width() - 14, size.height() / 2 - 3);
    QVERIFY2(qAbs(plate.red() - 168) <= 2 && qAbs(plate.green() - 215) <= 2 &&
                 qAbs(plate.blue() - 218) <= 2,
             qPrintable(plate.name()));
    const bool hot = id % 2 == 1;  // the odd ones are the hot faces (red icon)
    const auto colours = BlueAndRed(image, QRect(0, 0, size.width() / 3, size.height()));
    QVERIFY(hot ? colours.second > 100 && colours.first == 0
                : colours.first > 100 && colours.second == 0);
}

void TestWidgets::missingPictureDrawsNothing() {
    CGdiPlusBitmapResource picture;
    QVERIFY(!picture.LoadFromResource(999, "PNG"));
    QVERIFY(!picture.IsLoaded());
    CGdiPlusBitmapResource splash;
    QVERIFY(splash.LoadFromResource(1011, "BITMAP"));
    QCOMPARE(splash.Image().size(), QSize(610, 289));
    QVERIFY(!splash.Image().hasAlphaChannel());
    QWidget parent;
    CGdipButton button(&parent);
    QVERIFY(!button.LoadImages(999, 998));
    button.setGeometry(0, 0, 110, 40);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    button.grab();  // paints without a picture
}

void TestWidgets::headerSpansTheList() {
    CCJListCtrl list;
    list.BuildColumns({{5001, 60}});
    QVERIFY(list.InstallFlatHeader(false));
    list.resize(300, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    for (int width : {300, 520}) {
        list.resize(width, 200);
        QTRY_COMPARE(list.header()->width(), list.viewport()->width());
        QCOMPARE(list.columnWidth(0), 60);  // the last column does not stretch
    }
}

void TestWidgets::rowsKeepTheirHeightWithoutAnIconInTheFirstRow() {
    CCJListCtrl list;
    list.BuildColumns({{5037, 150}});
    list.setIconSize(QSize(16, 16));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QPixmap song(16, 16);
    song.fill(Qt::blue);
    QList<int> heights;
    for (bool bIconFirst : {true, false, false}) {  // each fill is a refresh
        list.DeleteAllItems();
        for (int row = 0; row < 3; ++row) {
            list.InsertItem(row, row == 0 ? "Empty" : "Song");
            if ((row == 0) == bIconFirst) list.GetItem(row)->setIcon(0, QIcon(song));
        }
        for (int row = 0; row < 3; ++row)
            heights << list.visualItemRect(list.GetItem(row)).height();
    }
    QVERIFY(heights.front() >= 16);
    QCOMPARE(heights, QList<int>(9, heights.front()));
}

void TestWidgets::buttonFaces() {
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette pal = parent.palette();
    const QColor ground(250, 220, 160);
    pal.setColor(QPalette::Window, ground);
    parent.setPalette(pal);
    CGdipButton button(&parent);
    QVERIFY(button.LoadImages(156, 157));  // Copy Down: blue, red triangle
    button.setGeometry(20, 10, 110, 40);
    parent.resize(200, 80);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    // A 315 x 100 picture at 11800 dots per metre covers about 101 x 32 pixels
    // at 96 dots per inch; the icon sits near its left end.
    const QRect icon(8, 6, 18, 18);
    auto faceColours = [&] { return BlueAndRed(button.grab().toImage(), icon); };

    auto normal = faceColours();
    QVERIFY(normal.first > 20);
    QCOMPARE(normal.second, 0);
    // Outside the picture the snapshot of the parent shows.
    QCOMPARE(button.grab().toImage().pixelColor(107, 38).name(), ground.name());

    QEnterEvent enter(QPointF(5, 5), QPointF(25, 15), button.mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(&button, &enter);
    QCOMPARE(button.ShownFace(), CGdipButton::Face::Hot);
    auto hot = faceColours();
    QVERIFY(hot.second > 20);
    QCOMPARE(hot.first, 0);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
    QCOMPARE(faceColours(), normal);

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(button.ShownFace(), CGdipButton::Face::Pressed);
    QVERIFY(faceColours().second > 20);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    QCoreApplication::sendEvent(&button, &leave);

    // From the keyboard, with the mouse elsewhere.
    QSignalSpy clicks(&button, &CGdipButton::clicked);
    button.setFocus();
    QTest::keyPress(&button, Qt::Key_Space);
    QCOMPARE(button.ShownFace(), CGdipButton::Face::Pressed);
    QVERIFY(faceColours().second > 20);
    QTest::keyRelease(&button, Qt::Key_Space);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(faceColours(), normal);

    // Enter presses it as Space does.
    QTest::keyPress(&button, Qt::Key_Return);
    QCOMPARE(button.ShownFace(), CGdipButton::Face::Pressed);
    QTest::keyRelease(&button, Qt::Key_Return);
    QTest::keyClick(&button, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(clicks.count(), 3);

    // While it has the focus, a dotted frame runs down the picture's left
    // side, clear of the icon.
    parent.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&parent));
    button.setFocus();
    QVERIFY(button.hasFocus());
    const QImage focused = button.grab().toImage();
    button.clearFocus();
    const QImage plain = button.grab().toImage();
    int marked = 0;
    for (int y = 4; y < 27; ++y) marked += focused.pixel(3, y) != plain.pixel(3, y);
    QVERIFY(marked >= 5);
    QCOMPARE(faceColours(), normal);
}

void TestWidgets::buttonDoubleClickGivesTwoClicks() {
    CGdipButton button;
    button.LoadImages(152, 151);
    button.resize(110, 40);
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicks(&button, &CGdipButton::clicked);
    const QPointF at(20, 20);
    const QPointF global = button.mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, {});
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, global, Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&button, &press);
    QCoreApplication::sendEvent(&button, &release);
    QCoreApplication::sendEvent(&button, &twice);
    QCoreApplication::sendEvent(&button, &release);
    QCOMPARE(clicks.count(), 2);
}

void TestWidgets::splashSizeAndClosing() {
    SplashTarget mainWnd;
    CSplashWnd::ShowSplashScreen(&mainWnd);
    QVERIFY(!CSplashWnd::Instance());  // not enabled yet
    CSplashWnd::EnableSplashScreen();
    CSplashWnd::ShowSplashScreen(&mainWnd);
    QPointer<CSplashWnd> splash = CSplashWnd::Instance();
    QVERIFY(splash);
    CSplashWnd::ShowSplashScreen(&mainWnd);
    QCOMPARE(CSplashWnd::Instance(), splash.data());  // only one at a time
    QCOMPARE(splash->size(), QSize(610, 289));
    QCOMPARE(splash->geometry().center(),
             QGuiApplication::primaryScreen()->availableGeometry().center());
    QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
    // No event loop has run: a click and a key leave it up.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 50),
                      splash->mapToGlobal(QPointF(50, 50)), Qt::LeftButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(splash, &press);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, {});
    QCoreApplication::sendEvent(splash, &key);
    QVERIFY(splash && splash->isVisible());
    QCOMPARE(mainWnd.done, 0);
    // The first timer tick closes it and tells the main window once.
    QTRY_VERIFY(splash.isNull());
    QVERIFY(!CSplashWnd::Instance());
    QCOMPARE(mainWnd.done, 1);
}

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"
