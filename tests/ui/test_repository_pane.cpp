// The repository pane: which files it lists and how, the context menu,
// Delete, the header that never reorders, opening, and drops from the desktop.
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <filesystem>

#include "ComputerSide.h"
#include "common/ScriptedPrompter.h"
#include "ui/RepListCtrl.h"
#include "ui/TopRightView.h"
#include "widgets/CJFlatHeaderCtrl.h"

using namespace computer_test;
using velnor::PromptAnswer;

class TestRepositoryPane : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void listsSongFilesOfAnyCaseOnly();
    void sizeTypeAndDateTexts();
    void headerMovesTheMarkButNeverTheRows();
    void contextMenuOffersDeleteOnlyOnRows();
    void deleteAsksOnceAndAlwaysReloads();
    void doubleClickOpensTheFile();
    void aNameThatIsNotUtf8CanBeOpenedAndDeleted();
    void dropCopiesOnlySongsUnderUpperCaseNamesAfterTheDropReturns();
    void dropCancelOnOverwriteEndsTheBatchAndStillReloads();
    void dropOfNothingUsefulDoesNotReload();

  private:
    QString Repo(const QString& name = {}) const { return m_pRepo->path() + "/" + name; }
    QString Desk(const QString& name = {}) const { return m_pDesk->path() + "/" + name; }

    QTemporaryDir* m_pRepo = nullptr;
    QTemporaryDir* m_pDesk = nullptr;
    CTopRightView* m_pView = nullptr;
    RepListCtrl* m_pList = nullptr;
    velnor::ScriptedPrompter m_prompter;
};

void TestRepositoryPane::init() {
    m_pRepo = new QTemporaryDir;
    m_pDesk = new QTemporaryDir;
    m_prompter = {};
    velnor::SetPrompter(&m_prompter);
    m_pView = new CTopRightView(nullptr, m_pRepo->path());
    m_pView->resize(600, 300);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    m_pList = m_pView->GetListCtrl();
    QVERIFY(m_pList);
}

void TestRepositoryPane::cleanup() {
    delete m_pView;
    delete m_pRepo;
    delete m_pDesk;
    velnor::SetPrompter(nullptr);
}

void TestRepositoryPane::listsSongFilesOfAnyCaseOnly() {
    QCOMPARE(m_pView->RepositoryPath(), m_pRepo->path() + "/");
    WriteSong(Repo("song.MID"), "Upper");
    WriteSong(Repo("low.mid"), "Lower");
    WriteBytes(Repo("notes.txt"), 10);
    WriteBytes(Repo("x.mid.bak"), 10);
    QVERIFY(QDir().mkpath(Repo("x.mid")));
    m_pView->RefreshList();
    QCOMPARE(RowNames(m_pList), (QStringList{"low.mid", "song.MID"}));
    QCOMPARE(FindRow(m_pList, "song.MID")->text(1), QString("Upper"));
    QCOMPARE(FindRow(m_pList, "low.mid")->text(1), QString("Lower"));
    QCOMPARE(m_pList->AddFileItem(Repo("gone.mid")), -1);
    QCOMPARE(m_pList->AddFileItem(Repo("low.mid")), 2);
}

void TestRepositoryPane::sizeTypeAndDateTexts() {
    WriteBytes(Repo("b999.mid"), 999);
    WriteBytes(Repo("b2000.mid"), 2000);
    WriteBytes(Repo("empty.mid"), 0);
    m_pView->RefreshList();
    QCOMPARE(FindRow(m_pList, "b999.mid")->text(2), QString("1KB"));
    QCOMPARE(FindRow(m_pList, "b2000.mid")->text(2), QString("2KB"));
    QTreeWidgetItem* empty = FindRow(m_pList, "empty.mid");
    QCOMPARE(empty->text(1), QString());
    QCOMPARE(empty->text(2), QString());
    QVERIFY(!empty->text(3).isEmpty());
    const QRegularExpression date(R"(^\d\d/\d\d/\d{4} \d\d:\d\d$)");
    QVERIFY2(date.match(empty->text(4)).hasMatch(), qPrintable(empty->text(4)));
    QStringList titles;  // (the last column stretches to the pane's edge)
    for (int c = 0; c < m_pList->columnCount(); ++c) {
        titles << m_pList->headerItem()->text(c) + ":" + QString::number(m_pList->columnWidth(c));
    }
    titles.last() = titles.last().section(':', 0, 0);
    QCOMPARE(titles,
             (QStringList{"Repository:150", "Song Name:100", "Size:55", "Type:75", "Modified"}));
}

void TestRepositoryPane::headerMovesTheMarkButNeverTheRows() {
    for (const char* name : {"b.mid", "C.mid", "a.MID"}) WriteSong(Repo(name));
    m_pView->RefreshList();
    const QStringList before = RowNames(m_pList);
    QCOMPARE(before, (QStringList{"a.MID", "b.mid", "C.mid"}));  // by name, whatever the disk says
    CCJFlatHeaderCtrl* header = m_pList->FlatHeader();
    QVERIFY(header);
    for (int column : {0, 0, 2}) {
        emit header->sectionClicked(column);
        QCOMPARE(RowNames(m_pList), before);
    }
    QCOMPARE(header->SortColumn(), 2);
}

void TestRepositoryPane::contextMenuOffersDeleteOnlyOnRows() {
    WriteSong(Repo("one.mid"));
    m_pView->RefreshList();
    const QPoint onRow = m_pList->visualItemRect(m_pList->topLevelItem(0)).center();
    QCOMPARE(RightClick(m_pList, onRow), (QStringList{"Delete", "Refresh"}));
    const QPoint below(10, m_pList->viewport()->height() - 3);
    QCOMPARE(RightClick(m_pList, below), QStringList{"Refresh"});
    // "Refresh" from the menu reloads through the pane.
    WriteSong(Repo("two.mid"));
    RightClick(m_pList, below, "Refresh");
    QCOMPARE(m_pList->GetItemCount(), 2);
}

void TestRepositoryPane::deleteAsksOnceAndAlwaysReloads() {
    WriteSong(Repo("a.mid"));
    WriteSong(Repo("b.mid"));
    m_pView->RefreshList();
    QSignalSpy reloads(m_pList, &RepListCtrl::refreshList);

    m_pList->clearSelection();
    m_pList->OnDelete();
    QVERIFY(m_prompter.entries.empty());
    QCOMPARE(reloads.count(), 0);

    SelectRows(m_pList, {"a.mid", "b.mid"});
    WriteSong(Repo("c.mid"));  // arrives meanwhile: the reload after No shows it
    m_prompter.answers = {PromptAnswer::No};
    m_pList->OnDelete();
    QCOMPARE(m_prompter.entries.size(), size_t(1));
    QCOMPARE(m_prompter.entries[0].text, std::string("Delete files?"));
    QCOMPARE(reloads.count(), 1);
    QCOMPARE(m_pList->GetItemCount(), 3);
    QVERIFY(QFile::exists(Repo("a.mid")));

    SelectRows(m_pList, {"a.mid", "c.mid"});
    m_prompter.answers = {PromptAnswer::Yes};
    RightClick(m_pList, m_pList->visualItemRect(FindRow(m_pList, "a.mid")).center(), "Delete");
    QCOMPARE(m_prompter.entries.size(), size_t(2));
    QVERIFY(!QFile::exists(Repo("a.mid")));
    QVERIFY(!QFile::exists(Repo("c.mid")));
    QCOMPARE(RowNames(m_pList), QStringList{"b.mid"});
}

void TestRepositoryPane::doubleClickOpensTheFile() {
    WriteSong(Repo("play.mid"));
    m_pView->RefreshList();
    OpenRecorder recorder;
    emit m_pList->itemDoubleClicked(m_pList->topLevelItem(0), 0);
    QCOMPARE(recorder.opened, QStringList{Repo("play.mid")});
    QVERIFY(m_prompter.entries.empty());
}

// Such names come from elsewhere (another system, an older Velnor): the row
// keeps the file's own bytes, whatever its text shows.
void TestRepositoryPane::aNameThatIsNotUtf8CanBeOpenedAndDeleted() {
#ifdef Q_OS_WIN
    QSKIP("file names are UTF-16 on Windows: none holds bytes that are not UTF-8");
#endif
    const std::string name = "\xCE\xA9\xCE\xB4\xCE\xAE \xCF\x83\xCF\x84\xCE.mid";
    const std::string path = QFile::encodeName(Repo()).toStdString() + name;
    velnor::test::WriteFile(path, velnor::test::GoodSong("Ode"));
    m_pView->RefreshList();
    QCOMPARE(m_pList->GetItemCount(), 1);
    QCOMPARE(m_pList->topLevelItem(0)->text(1), QStringLiteral("Ode"));
    m_pList->topLevelItem(0)->setSelected(true);
    std::vector<std::string> selected;
    m_pView->GetSelectedFiles(selected);
    QCOMPARE(selected, std::vector<std::string>{name});

    OpenRecorder recorder;
    emit m_pList->itemDoubleClicked(m_pList->topLevelItem(0), 0);
    QCOMPARE(recorder.urls.size(), 1);
    QCOMPARE(QByteArray::fromPercentEncoding(recorder.urls[0].path(QUrl::FullyEncoded).toLatin1()),
             QByteArray::fromStdString(path));

    m_prompter.answers = {PromptAnswer::Yes};
    m_pList->OnDelete();
    QVERIFY(!std::filesystem::exists(path));
    QCOMPARE(m_pList->GetItemCount(), 0);
}

void TestRepositoryPane::dropCopiesOnlySongsUnderUpperCaseNamesAfterTheDropReturns() {
    QVERIFY(QDir().mkpath(Desk("Folder.mid")));
    WriteBytes(Desk("notes.txt"), 5);
    WriteSong(Desk("first.mid"), "First");
    WriteSong(Desk("Second.Mid"), "Second");
    WriteSong(Desk("café.mid"), "Cafe");
    QVERIFY(Drop(m_pList, FileUrls({Desk("Folder.mid"), Desk("notes.txt"), Desk("first.mid"),
                                    Desk("Second.Mid"), Desk("café.mid")})));
    QVERIFY2(!QFile::exists(Repo("FIRST.MID")), "the copy waits until the drop has returned");
    QTRY_COMPARE(m_pList->GetItemCount(), 3);
    QStringList files = QDir(Repo()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    files.sort();
    QCOMPARE(files, (QStringList{"CAFÉ.MID", "FIRST.MID", "SECOND.MID"}));
    QCOMPARE(ReadBytes(Repo("SECOND.MID")), ReadBytes(Desk("Second.Mid")));
    QCOMPARE(FindRow(m_pList, "SECOND.MID")->text(1), QString("Second"));
    QVERIFY(m_prompter.entries.empty());
}

void TestRepositoryPane::dropCancelOnOverwriteEndsTheBatchAndStillReloads() {
    WriteSong(Repo("A.MID"), "Old");
    WriteSong(Desk("a.mid"), "New");
    WriteSong(Desk("b.mid"), "B");
    m_pView->RefreshList();
    m_pList->clear();  // so the reload shows
    m_prompter.answers = {PromptAnswer::Cancel};
    QVERIFY(Drop(m_pList, FileUrls({Desk("a.mid"), Desk("b.mid")})));
    QTRY_COMPARE(m_prompter.entries.size(), size_t(1));
    QCOMPARE(m_prompter.entries[0].text, std::string("Overwrite?  A.MID"));
    QCOMPARE(m_prompter.entries[0].buttons, velnor::PromptButtons::YesNoCancel);
    QTRY_COMPARE(RowNames(m_pList), QStringList{"A.MID"});
    QCOMPARE(FindRow(m_pList, "A.MID")->text(1), QString("Old"));
    QVERIFY(!QFile::exists(Repo("B.MID")));
}

void TestRepositoryPane::dropOfNothingUsefulDoesNotReload() {
    WriteBytes(Desk("notes.txt"), 5);
    m_pList->clear();
    WriteSong(Repo("there.mid"));
    QVERIFY(Drop(m_pList, FileUrls({Desk("notes.txt")})));
    QCoreApplication::processEvents();
    QCOMPARE(m_pList->GetItemCount(), 0);  // no copy ran, so no reload either
}

QTEST_MAIN(TestRepositoryPane)
#include "test_repository_pane.moc"
