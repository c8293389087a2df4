// The middle pane's computer-side commands in the whole window: Copy Up,
// Copy Down, Refresh and Help.
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include "ComputerSide.h"
#include "common/Mhtml.h"
#include "common/ScriptedPrompter.h"
#include "songs/SongRule.h"
#include "stores/SongConvert.h"
#include "ui/BottomView.h"
#include "ui/HelpViewer.h"
#include "ui/MainFrame.h"
#include "ui/MiddleView.h"
#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/RepListCtrl.h"
#include "ui/TopRightView.h"
#include "widgets/CJShellList.h"
#include "widgets/CJShellTree.h"
#include "widgets/GdipButton.h"

using namespace computer_test;
using velnor::PromptAnswer;

class TestMiddleCommands : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void copyUpTakesSongsAndPassesOverFolders();
    void copyUpRefusesAFormat1SongAndCopiesTheRest();
    void browserMenuConvertsIntoTheRepositoryWithoutRefusals();
    void copyUpWithNothingSelectedDoesNothing();
    void copyDownCopiesWithoutTheCheck();
    void copyDownOverwriteNoAndCancel();
    void refreshReloadsRepositoryAndBrowser();
    void helpOpensTheDocumentBesideTheProgramOnly();
    void helpWithoutADesktopProgramShowsItsOwnViewer();
    void shippedHelpTablesSayWhatTheWindowDoes_data();
    void shippedHelpTablesSayWhatTheWindowDoes();
    void songsDragBetweenTheLists();

  private:
    QString Home(const QString& name = {}) const { return m_pHome->path() + "/" + name; }
    QString Repo(const QString& name = {}) const { return GetRepositoryPath() + name; }

    QTemporaryDir* m_pHome = nullptr;
    CMainFrame* m_pFrame = nullptr;
    CMiddleView* m_pMiddle = nullptr;
    CTopRightView* m_pRepository = nullptr;
    CCJShellList* m_pBrowser = nullptr;
    velnor::ScriptedPrompter m_prompter;
};

void TestMiddleCommands::initTestCase() {
    m_pHome = new QTemporaryDir;
    QVERIFY(m_pHome->isValid());
    SetHomeFolder(m_pHome->path());
}

void TestMiddleCommands::init() {
    QDir(Home()).removeRecursively();
    QVERIFY(QDir().mkpath(Home("Music/Folder.mid")));
    QDir(GetRepositoryPath()).removeRecursively();
    m_prompter = {};
    velnor::SetPrompter(&m_prompter);
    m_pFrame = new CMainFrame;
    QVERIFY(m_pFrame->Create());
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame));
    m_pMiddle = GetMiddleView(m_pFrame->centralWidget());
    m_pRepository = GetTopRightView(m_pFrame->centralWidget());
    m_pBrowser = GetBottomView(m_pFrame->centralWidget())->FileList();
    QVERIFY(m_pMiddle && m_pRepository && m_pBrowser);
    QCOMPARE(m_pRepository->RepositoryPath(), GetRepositoryPath());
}

void TestMiddleCommands::cleanup() {
    SetDesktopHandlerQuery({});
    delete m_pFrame;
    velnor::SetPrompter(nullptr);
}

void TestMiddleCommands::copyUpTakesSongsAndPassesOverFolders() {
    WriteSong(Home("Music/one.mid"), "One");
    WriteSong(Home("Music/two.mid"), "Two");
    WriteSong(Repo("TWO.MID"), "Old");  // the same song to the repository
    m_prompter.answers = {PromptAnswer::Yes};
    m_pBrowser->Tree()->SelectFolderPath(Home("Music"));
    SelectRows(m_pBrowser, {"Folder.mid", "one.mid", "two.mid"});
    m_pMiddle->CopyUpButton()->click();
    QCOMPARE(SortedRowNames(m_pRepository->GetListCtrl()), (QStringList{"TWO.MID", "one.mid"}));
    QCOMPARE(ReadBytes(Repo("TWO.MID")), ReadBytes(Home("Music/two.mid")));
    QVERIFY(!QFileInfo::exists(Repo("Folder.mid")));
    QCOMPARE(m_prompter.Texts(), std::vector<std::string>{"Overwrite?  two.mid"});
}

void TestMiddleCommands::copyUpRefusesAFormat1SongAndCopiesTheRest() {
    WriteSong(Home("Music/first.mid"));
    velnor::test::WriteFile(Home("Music/multi.mid").toStdString(), velnor::test::TwoTrackSong());
    velnor::test::WriteFile(Home("Music/slow.mid").toStdString(),
                            velnor::test::GoodSong("Slow", 96));
    WriteSong(Home("Music/last.mid"));
    m_pBrowser->Tree()->SelectFolderPath(Home("Music"));
    SelectRows(m_pBrowser, {"first.mid", "multi.mid", "slow.mid", "last.mid"});
    m_prompter.answers = {velnor::PromptAnswer::No};
    m_pMiddle->OnCopyUp();
    QStringList texts;
    for (const std::string& text : m_prompter.Texts()) texts << QString::fromStdString(text);
    // One box per refused song, then one question for them all.
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts.last(), QString::fromStdString(velnor::ConvertQuestion(2)));
    texts.removeLast();
    texts.sort();
    QCOMPARE(texts, (QStringList{"multi.mid Midi Format Error!(Format 0 required)",
                                 "slow.mid Midi Format Error!(PPQN=120 required)"}));
    QCOMPARE(SortedRowNames(m_pRepository->GetListCtrl()), (QStringList{"first.mid", "last.mid"}));
    // Yes converts them into the repository under their own names.
    m_prompter.answers = {velnor::PromptAnswer::Yes};
    SelectRows(m_pBrowser, {"multi.mid", "slow.mid"});
    m_pMiddle->OnCopyUp();
    QCOMPARE(SortedRowNames(m_pRepository->GetListCtrl()),
             (QStringList{"first.mid", "last.mid", "multi.mid", "slow.mid"}));
    QCOMPARE(velnor::CheckSongFile(Repo("multi.mid").toStdString()), velnor::SongVerdict::Accepted);
}

void TestMiddleCommands::browserMenuConvertsIntoTheRepositoryWithoutRefusals() {
    velnor::test::WriteFile(Home("Music/multi.mid").toStdString(), velnor::test::TwoTrackSong());
    velnor::test::WriteFile(Home("Music/slow.mid").toStdString(),
                            velnor::test::GoodSong("Slow", 96));
    WriteSong(Home("Music/song.mid"));
    m_pBrowser->Tree()->SelectFolderPath(Home("Music"));
    SelectRows(m_pBrowser, {"multi.mid", "slow.mid", "song.mid"});
    const QPoint onRow = m_pBrowser->visualItemRect(m_pBrowser->selectedItems().first()).center();
    QCOMPARE(RightClick(m_pBrowser, onRow, "Convert into Repository"),
             (QStringList{"Delete", "Convert into Repository", "Refresh"}));
    QVERIFY(m_prompter.entries.empty());
    QCOMPARE(SortedRowNames(m_pRepository->GetListCtrl()),
             (QStringList{"multi.mid", "slow.mid", "song.mid"}));
    QCOMPARE(velnor::test::ReadFile(Repo("song.mid").toStdString()),
             velnor::test::ReadFile(Home("Music/song.mid").toStdString()));
}

void TestMiddleCommands::copyUpWithNothingSelectedDoesNothing() {
    WriteSong(Home("Music/one.mid"));
    m_pBrowser->Tree()->SelectFolderPath(Home("Music"));
    m_pBrowser->clearSelection();
    m_pMiddle->OnCopyUp();
    SelectRows(m_pBrowser, {"Folder.mid"});  // only a folder: no names either
    m_pMiddle->OnCopyUp();
    m_pMiddle->OnCopyDown();
    QVERIFY(QDir(Repo()).isEmpty());
    QVERIFY(m_prompter.entries.empty());
}

void TestMiddleCommands::copyDownCopiesWithoutTheCheck() {
    velnor::test::WriteFile(Repo("MULTI.MID").toStdString(), velnor::test::TwoTrackSong());
    WriteSong(Repo("GOOD.MID"));
    m_pRepository->RefreshList();
    m_pBrowser->Tree()->SelectFolderPath(Home("Music"));
    SelectRows(m_pRepository->GetListCtrl(), {"MULTI.MID"});
    m_pMiddle->CopyDownButton()->click();
    QVERIFY(m_prompter.entries.empty());
    QCOMPARE(ReadBytes(Home("Music/MULTI.MID")), ReadBytes(Repo("MULTI.MID")));
    QVERIFY(!QFile::exists(Home("Music/GOOD.MID")));
    QVERIFY(FindRow(m_pBrowser, "MULTI.MID"));  // the browser was reloaded
    std::vector<std::string> selected;
    m_pRepository->GetSelectedFiles(selected);
    QCOMPARE(selected, std::vector<std::string>{"MULTI.MID"});
}

void TestMiddleCommands::copyDownOverwriteNoAndCancel() {
    for (const char* name : {"A.MID", "B.MID", "C.MID"}) {
        WriteSong(Repo(name), "New");
        WriteSong(Home("Music/") + name, "Old");
    }
    m_pRepository->RefreshList();
    m_pBrowser->Tree()->SelectFolderPath(Home("Music"));
    SelectRows(m_pRepository->GetListCtrl(), {"A.MID", "B.MID", "C.MID"});
    std::vector<std::string> order;  // the rows' order, top first
    m_pRepository->GetSelectedFiles(order);
    QCOMPARE(order.size(), size_t(3));
    m_prompter.answers = {PromptAnswer::No, PromptAnswer::Cancel};
    m_pMiddle->OnCopyDown();
    QCOMPARE(m_prompter.Texts(),
             (std::vector<std::string>{"Overwrite?  " + order[0], "Overwrite?  " + order[1]}));
    for (const char* name : {"A.MID", "B.MID", "C.MID"}) {
        QCOMPARE(FindRow(m_pBrowser, name)->text(1), QString("Old"));
    }
}

void TestMiddleCommands::refreshReloadsRepositoryAndBrowser() {
    m_pBrowser->Tree()->SelectFolderPath(Home("Music"));
    WriteSong(Repo("NEW.MID"));
    WriteSong(Home("Music/fresh.mid"));
    QVERIFY(QDir().mkpath(Home("Music/Later")));
    m_pMiddle->RefreshButton()->click();
    QCOMPARE(RowNames(m_pRepository->GetListCtrl()), QStringList{"NEW.MID"});
    QVERIFY(FindRow(m_pBrowser, "fresh.mid"));
    QTreeWidgetItem* music = m_pBrowser->Tree()->currentItem();
    QCOMPARE(music->text(0), QString("Music"));
    music->setExpanded(true);
    QCOMPARE(music->childCount(), 2);  // the tree was rebuilt: Folder.mid and Later
    QVERIFY(m_prompter.entries.empty());

    // The "Refresh" of a folder's menu in the tree does the same for the browser.
    QVERIFY(QDir().mkpath(Home("Music/Latest")));
    CCJShellTree* tree = m_pBrowser->Tree();
    RightClick(tree, tree->visualItemRect(music).center(), "Refresh");
    QCOMPARE(tree->currentItem()->text(0), QString("Music"));
    QVERIFY(FindRow(m_pBrowser, "Latest"));
}

void TestMiddleCommands::helpOpensTheDocumentBesideTheProgramOnly() {
    OpenRecorder recorder;
    SetDesktopHandlerQuery([](const QString&) { return true; });
    const QString help = GetProgramFolder() + "Help.mht";
    QFile::remove(help);
    QVERIFY(!OpenProgramFile("Help.mht"));
    m_pMiddle->HelpButton()->click();
    QVERIFY(recorder.opened.isEmpty());
    QVERIFY(m_prompter.entries.empty());
    WriteBytes(help, 10);
    m_pMiddle->HelpButton()->click();
    // F1 anywhere in the window is Help, F5 Refresh.
    m_pFrame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pFrame));
    QTest::keyClick(m_pRepository->GetListCtrl(), Qt::Key_F1);
    QFile::remove(help);
    QCOMPARE(recorder.opened, (QStringList{help, help}));
    WriteSong(Repo("NEW.MID"));
    QTest::keyClick(m_pRepository->GetListCtrl(), Qt::Key_F5);
    QCOMPARE(RowNames(m_pRepository->GetListCtrl()), QStringList{"NEW.MID"});
}

void TestMiddleCommands::helpWithoutADesktopProgramShowsItsOwnViewer() {
    OpenRecorder recorder;
    SetDesktopHandlerQuery([](const QString&) { return false; });
    const QString help = GetProgramFolder() + "Help.mht";
    QFile file(help);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(
        "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"=b\"\r\n\r\n"
        "--=b\r\nContent-Type: text/html; charset=utf-8\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
        "<html><head><title>Velnor Help</title></head><body>caf=C3=A9 =\r\nsongs</body></html>"
        "\r\n--=b--\r\n");
    file.close();
    m_pMiddle->HelpButton()->click();
    m_pMiddle->HelpButton()->click();  // the same viewer again
    QVERIFY(recorder.opened.isEmpty());
    QVERIFY(m_prompter.entries.empty());
    const QList<CHelpViewerDlg*> viewers = m_pFrame->findChildren<CHelpViewerDlg*>();
    QCOMPARE(viewers.size(), 1);
    QVERIFY(viewers.front()->isVisible() && !viewers.front()->isModal());
    QCOMPARE(viewers.front()->windowTitle(), QStringLiteral("Velnor Help"));
    QCOMPARE(viewers.front()->Browser()->toPlainText(), QStringLiteral("caf\u00e9 songs"));

    // A document with no page in it cannot be shown: said so.
    WriteBytes(help, 10);
    m_pMiddle->HelpButton()->click();
    QFile::remove(help);
    QCOMPARE(m_prompter.Texts(), std::vector<std::string>{"Help.mht  cannot be shown!"});
}

namespace {

/// The rows of every table of the shipped help's page, as text: first cell,
/// then the rest of the row.
QHash<QString, QString> HelpTableRows() {
    QFile file(QStringLiteral(VELNOR_SOURCE_DIR "/res/Help.mht"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const velnor::MhtmlDocument help = velnor::ReadMhtml(file.readAll().toStdString());
    if (!help.Html()) return {};
    QTextDocument page;
    page.setHtml(QString::fromStdString(help.Html()->body));
    QHash<QString, QString> rows;
    for (QTextFrame* frame : page.rootFrame()->childFrames()) {
        const auto* table = qobject_cast<QTextTable*>(frame);
        for (int row = 0; table && row < table->rows(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                QTextCursor text = cell.firstCursorPosition();
                text.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
                cells << text.selectedText();
            }
            rows.insert(cells.takeFirst(), cells.join(' '));
        }
    }
    return rows;
}

}  // namespace

void TestMiddleCommands::shippedHelpTablesSayWhatTheWindowDoes_data() {
    QTest::addColumn<QString>("first");  // the row's first cell
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("never");  // "" for nothing
    QTest::newRow("recovery") << "Connection error!"
                              << "Press Connect"
                              << "Press Refresh";
    QTest::newRow("Delete key") << "Delete"
                                << "default button is No"
                                << "";
    QTest::newRow("Menu keys") << "Menu, Shift+F10"
                               << "menu of the selected row"
                               << "";
    QTest::newRow("conversion") << "Copy Up"
                                << "offered for conversion"
                                << "";
}

void TestMiddleCommands::shippedHelpTablesSayWhatTheWindowDoes() {
    QFETCH(QString, first);
    QFETCH(QString, says);
    QFETCH(QString, never);
    const QHash<QString, QString> rows = HelpTableRows();
    QVERIFY2(rows.contains(first), qPrintable(first));
    QVERIFY2(rows[first].contains(says), qPrintable(rows[first]));
    if (!never.isEmpty()) QVERIFY2(!rows[first].contains(never), qPrintable(rows[first]));
}

void TestMiddleCommands::songsDragBetweenTheLists() {
    // Browser to repository: the checked copy of a desktop drop.
    RepListCtrl* repository = m_pRepository->GetListCtrl();
    WriteSong(Home("Music/up.mid"), "Up");
    velnor::test::WriteFile(Home("Music/multi.mid").toStdString(), velnor::test::TwoTrackSong());
    m_pBrowser->Tree()->SelectFolderPath(Home("Music"));
    SelectRows(m_pBrowser, {"Folder.mid", "up.mid", "multi.mid"});
    m_prompter.answers = {velnor::PromptAnswer::Yes};  // convert the format-1 song
    QVERIFY(Drop(repository, m_pBrowser->SongDragData()));
    QTRY_COMPARE(SortedRowNames(repository), (QStringList{"MULTI.MID", "UP.MID"}));
    QCOMPARE(m_prompter.Texts(),
             (std::vector<std::string>{"MULTI.MID Midi Format Error!(Format 0 required)",
                                       velnor::ConvertQuestion(1)}));

    // Repository to browser: Copy Down's copy, unchecked.
    m_prompter.entries.clear();
    velnor::test::WriteFile(Repo("TWO.MID").toStdString(), velnor::test::TwoTrackSong());
    m_pRepository->RefreshList();
    SelectRows(repository, {"TWO.MID"});
    QVERIFY(!Drop(repository, repository->SongDragData()));  // onto itself: no drop
    QVERIFY(Drop(m_pBrowser, repository->SongDragData()));
    QTRY_VERIFY(FindRow(m_pBrowser, "TWO.MID"));
    QCOMPARE(ReadBytes(Home("Music/TWO.MID")), ReadBytes(Repo("TWO.MID")));
    QVERIFY(m_prompter.entries.empty());

    // Files from elsewhere are not taken by the browser list.
    QVERIFY(!Drop(m_pBrowser, FileUrls({Repo("UP.MID")})));
}

QTEST_MAIN(TestMiddleCommands)
#include "test_middle_commands.moc"
