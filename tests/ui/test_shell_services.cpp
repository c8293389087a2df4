// The window's services for the core: the Qt event pump, the message boxes,
// the start-up paths (program folder, repository, song icon probe) and the
// About box.
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "ui/AboutDlg.h"
#include "ui/ProgramFolder.h"
#include "ui/QtEventPump.h"
#include "ui/QtPrompter.h"

using namespace std::chrono_literals;
using velnor::PromptAnswer;
using velnor::PromptButtons;
using velnor::PromptIcon;
using Clock = std::chrono::steady_clock;

Q_DECLARE_METATYPE(PromptButtons)
Q_DECLARE_METATYPE(PromptAnswer)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)

class TestShellServices : public QObject {
    Q_OBJECT

  private slots:
    void wakeFromAnotherThreadEndsWait();
    void wakeBeforeWaitIsNotLost();
    void eventsAreProcessedDuringWait();
    void waitEndsAtDeadline();
    void quitRequestIsReportedAndStaysPending();
    void prompterShowsTheNamedButtons_data();
    void prompterShowsTheNamedButtons();
    void startupPathsFollowWritability_data();
    void startupPathsFollowWritability();
    void unwritableFolderIsSeen();
    void aboutBox();
};

void TestShellServices::wakeFromAnotherThreadEndsWait() {
    CQtEventPump pump;
    const auto start = Clock::now();
    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);  // usually lands inside the sleep; either way it ends it
        pump.Wake();
    });
    pump.WaitUntil(start + 10s);
    waker.join();
    QVERIFY(Clock::now() - start < 5s);
}

void TestShellServices::wakeBeforeWaitIsNotLost() {
    CQtEventPump pump;
    pump.Wake();
    const auto start = Clock::now();
    pump.WaitUntil(start + 10s);
    QVERIFY(Clock::now() - start < 5s);
}

void TestShellServices::eventsAreProcessedDuringWait() {
    CQtEventPump pump;
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    const auto start = Clock::now();
    while (!fired && Clock::now() - start < 5s) pump.WaitUntil(start + 10s);
    QVERIFY(fired);
    QVERIFY(Clock::now() - start < 5s);
}

void TestShellServices::waitEndsAtDeadline() {
    CQtEventPump pump;
    const auto start = Clock::now();
    const auto deadline = start + 60ms;
    while (Clock::now() < deadline) pump.WaitUntil(deadline);
    QVERIFY(Clock::now() - start < 5s);
    pump.WaitUntil(Clock::now() - 1s);  // a deadline already passed returns at once
}

namespace {

// Keeps a quit request from ending this test program: it stops the request
// after the pump has seen it (filters run newest first).
class QuitSwallower : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Quit; }
};

}  // namespace

void TestShellServices::quitRequestIsReportedAndStaysPending() {
    QuitSwallower swallower;
    QCoreApplication::instance()->installEventFilter(&swallower);
    CQtEventPump pump;
    QVERIFY(pump.PumpPendingMessages());
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    QVERIFY(!pump.PumpPendingMessages());
    QVERIFY(!pump.PumpPendingMessages());
    QVERIFY(pump.QuitRequested());
    QCoreApplication::instance()->removeEventFilter(&swallower);
}

void TestShellServices::prompterShowsTheNamedButtons_data() {
    QTest::addColumn<PromptButtons>("buttons");
    QTest::addColumn<QMessageBox::StandardButton>("press");
    QTest::addColumn<PromptAnswer>("answer");
    QTest::addColumn<int>("buttonCount");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("stop");
    const QString velnor = "Velnor";
    QTest::newRow("ok") << PromptButtons::Ok << QMessageBox::Ok << PromptAnswer::Ok << 1 << velnor
                        << false;
    QTest::newRow("yes") << PromptButtons::YesNo << QMessageBox::Yes << PromptAnswer::Yes << 2
                         << velnor << false;
    QTest::newRow("no") << PromptButtons::YesNo << QMessageBox::No << PromptAnswer::No << 2
                        << velnor << false;
    QTest::newRow("cancel") << PromptButtons::YesNoCancel << QMessageBox::Cancel
                            << PromptAnswer::Cancel << 3 << velnor << false;
    QTest::newRow("yes of three") << PromptButtons::YesNoCancel << QMessageBox::Yes
                                  << PromptAnswer::Yes << 3 << velnor << false;
    QTest::newRow("stop icon and caption") << PromptButtons::Ok << QMessageBox::Ok
                                           << PromptAnswer::Ok << 1 << "Folder not found" << true;
}

void TestShellServices::prompterShowsTheNamedButtons() {
    QFETCH(PromptButtons, buttons);
    QFETCH(QMessageBox::StandardButton, press);
    QFETCH(PromptAnswer, answer);
    QFETCH(int, buttonCount);
    QFETCH(QString, caption);
    QFETCH(bool, stop);
    QString title;
    QString text;
    int count = 0;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        answerer.stop();
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        count = int(box->buttons().size());
        box->button(press)->click();
    });
    answerer.start(5);
    CQtPrompter prompter;
    const PromptAnswer got = stop ? prompter.Ask("Overwrite?  song.mid", buttons,
                                                 caption.toStdString(), PromptIcon::Stop)
                                  : prompter.Ask("Overwrite?  song.mid", buttons);
    QCOMPARE(got, answer);
    QCOMPARE(title, caption);
    QCOMPARE(text, QString("Overwrite?  song.mid"));
    QCOMPARE(icon, stop ? QMessageBox::Critical : QMessageBox::NoIcon);
    QCOMPARE(count, buttonCount);
}

void TestShellServices::startupPathsFollowWritability_data() {
    QTest::addColumn<bool>("programWritable");
    QTest::addColumn<bool>("repositoryWritable");
    QTest::addColumn<QString>("probe");
    QTest::addColumn<QString>("repository");
    QTest::newRow("writable") << true << false << "/opt/velnor/"
                              << "/opt/velnor/Repository/";
    QTest::newRow("read-only") << false << false << "/tmp/"
                               << "/home/u/data/Repository/";
    QTest::newRow("read-only with writable repository") << false << true << "/tmp/"
                                                        << "/opt/velnor/Repository/";
}

void TestShellServices::startupPathsFollowWritability() {
    QFETCH(bool, programWritable);
    QFETCH(bool, repositoryWritable);
    QFETCH(QString, probe);
    QFETCH(QString, repository);
    // The repository counts only when it exists: make the program folder a
    // real one with a Repository inside for the last case.
    QTemporaryDir dir;
    QString program = "/opt/velnor/";
    if (repositoryWritable) {
        QVERIFY(QDir(dir.path()).mkpath("Repository"));
        program = dir.path() + "/";
        repository.replace("/opt/velnor/", program);
    } else {
        probe.replace("/opt/velnor/", program);
    }
    auto isWritable = [&](const QString& folder) {
        return folder.endsWith("Repository/") ? repositoryWritable : programWritable;
    };
    const StartupPaths paths = ChooseStartupPaths(program, isWritable, "/tmp", "/home/u/data");
    QCOMPARE(paths.probeFolder, programWritable ? program : probe);
    QCOMPARE(paths.repositoryPath, repository);
}

void TestShellServices::unwritableFolderIsSeen() {
    QTemporaryDir dir;
    QVERIFY(IsFolderWritable(dir.path()));
    QVERIFY(!IsFolderWritable(dir.path() + "/missing"));
#ifdef Q_OS_WIN
    // No folder here is closed to the user but by access lists: a program
    // folder that is not there stands for one.
    const QString unwritable = dir.path() + "/missing/";
    const char* tmpVariable = "TMP";
#else
    const QString unwritable = "/proc/";  // not writable even for root
    QVERIFY(!IsFolderWritable(unwritable));
    const char* tmpVariable = "TMPDIR";
#endif
    // Start-up of a program whose folder cannot be written, with a file of
    // the user's named tmp.mid in the temporary folder: it is left alone.
    QFile mine(dir.path() + "/tmp.mid");
    QVERIFY(mine.open(QIODevice::WriteOnly));
    mine.write("mine");
    mine.close();
    const QByteArray tmpDir = qgetenv(tmpVariable);
    qputenv(tmpVariable, QDir::toNativeSeparators(dir.path()).toLocal8Bit());
    const StartupPaths paths =
        ChooseStartupPaths(unwritable, IsFolderWritable, QDir::tempPath(), dir.path() + "/data");
    ApplyStartupPaths(paths);
    tmpDir.isNull() ? qunsetenv(tmpVariable) : qputenv(tmpVariable, tmpDir);
    QCOMPARE(paths.repositoryPath, dir.path() + "/data/Repository/");
    QCOMPARE(paths.probeFolder, dir.path() + "/");
    QVERIFY(QFileInfo(paths.repositoryPath).isDir());
    QVERIFY(!GetSongIcon().isNull());
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), QByteArray("mine"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             (QStringList{"data", "tmp.mid"}));
}

void TestShellServices::aboutBox() {
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QString("About Velnor"));
    QStringList texts;
    for (QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
    QVERIFY(texts.contains("Velnor Version 1.0.1"));
    QCOMPARE(texts.filter("Velnor").size(), 3);  // version, rights and maker lines
    auto* buttons = about.findChild<QDialogButtonBox*>();
    QVERIFY(buttons && buttons->button(QDialogButtonBox::Ok));
    // 235 by 83 dialog units of an 8-point font: 6 by 13 pixels to 4 by 8
    // units at 96 dots per inch.
    QCOMPARE(about.logicalDpiX(), 96);
    QCOMPARE(about.size(), QSize(353, 135));
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    for (QWidget* child : about.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible()) QVERIFY(about.rect().contains(child->geometry()));
    }
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    const QPoint okCorner = ok->mapTo(&about, ok->rect().bottomRight());
    QVERIFY(okCorner.x() > about.width() * 3 / 4 && okCorner.y() > about.height() * 3 / 4);
    QTimer::singleShot(0, &about, [&] { buttons->button(QDialogButtonBox::Ok)->click(); });
    QCOMPARE(about.exec(), int(QDialog::Accepted));
}

QTEST_MAIN(TestShellServices)
#include "test_shell_services.moc"
