// The file browser: the folder tree (roots, folders and links to them,
// filled once, select by path, its menu) and the list of the selected folder (filter,
// sort, open, delete, rename).
#include <QClipboard>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "ComputerSide.h"
#include "common/ScriptedPrompter.h"
#include "ui/BottomView.h"
#include "widgets/CJFlatHeaderCtrl.h"
#include "widgets/CJShellList.h"
#include "widgets/CJShellTree.h"

using namespace computer_test;
using velnor::PromptAnswer;

static QStringList ChildNames(const QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
}

class TestBrowserPanes : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void startsAtHomeWithFoldersOnly();
    void listShowsSubFoldersAndSongsOnly();
    void branchIsReadOnceUntilRefresh();
    void missingFolderIsReported();
    void sortRulesByColumn();
    void deleteRemovesAFolderTreeWithoutFollowingLinks();
    void deleteWithNothingSelectedOrDeclined();
    void renameFailureSaysWhyAndChangesNothing();
    void renameInPlace();
    void doubleClickOpensFoldersAndSongs();
    void doubleClickOnAVanishedSong();
    void treeMenuOffersFolderActions();
    void linkedFoldersAreBrowsedInTheTreeOnly();

  private:
    QString Home(const QString& name = {}) const { return m_pHome->path() + "/" + name; }

    QTemporaryDir* m_pHome = nullptr;
    CBottomView* m_pView = nullptr;
    CCJShellTree* m_pTree = nullptr;
    CCJShellList* m_pList = nullptr;
    velnor::ScriptedPrompter m_prompter;
};

void TestBrowserPanes::initTestCase() {
    m_pHome = new QTemporaryDir;
    QVERIFY(m_pHome->isValid());
    SetHomeFolder(m_pHome->path());
}

void TestBrowserPanes::init() {
    QDir(Home()).removeRecursively();
    QVERIFY(QDir().mkpath(Home("Music/Sub/Deeper")));
    QVERIFY(QDir().mkpath(Home("Music/.hidden")));
    QVERIFY(QDir().mkpath(Home("Empty")));
    QVERIFY(QDir().mkpath(Home(".config/x")));
    WriteSong(Home("Music/a.mid"), "A");
    WriteBytes(Home("Music/b.MID"), 2000);
    WriteBytes(Home("Music/X.Mid"), 3500);
    WriteBytes(Home("Music/c.txt"), 10);
    WriteBytes(Home("Music/x.mid.bak"), 10);
    WriteSong(Home("Music/Sub/inner.mid"));
    WriteSong(Home("Music/Sub/Deeper/deep.mid"));
    m_prompter = {};
    velnor::SetPrompter(&m_prompter);
    m_pView = new CBottomView;
    m_pView->resize(700, 300);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView));
    m_pTree = m_pView->FolderTree();
    m_pList = m_pView->FileList();
    QVERIFY(m_pTree && m_pList);
}

void TestBrowserPanes::cleanup() {
    delete m_pView;
    velnor::SetPrompter(nullptr);
}

void TestBrowserPanes::startsAtHomeWithFoldersOnly() {
    QTreeWidgetItem* home = m_pTree->topLevelItem(0);
    QCOMPARE(home->data(0, CCJShellTree::kPathRole).toString() + "/", Home());
    QStringList roots;
    for (int i = 1; i < m_pTree->topLevelItemCount(); ++i)
        roots << m_pTree->topLevelItem(i)->text(0);
#ifdef Q_OS_WIN
    // The drives, the home folder's among them.
    QVERIFY(roots.contains(Home().left(2).toUpper() + "\\"));
    QCOMPARE(roots.filter(QRegularExpression("^[A-Z]:\\\\$")), roots);
#else
    QCOMPARE(roots, QStringList{"/"});
#endif
    QCOMPARE(m_pTree->currentItem(), home);
    QVERIFY(home->isExpanded());
    QCOMPARE(ChildNames(home), (QStringList{"Empty", "Music"}));
    QCOMPARE(home->child(0)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    QCOMPARE(home->child(1)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    QCOMPARE(RowNames(m_pList), (QStringList{"Empty", "Music"}));
    QString path;
    QVERIFY(m_pTree->GetSelectedFolderPath(path));
    QCOMPARE(m_pList->GetFolderPath(), path);
}

void TestBrowserPanes::listShowsSubFoldersAndSongsOnly() {
    m_pTree->SelectFolderPath(Home("Music"));
    QCOMPARE(m_pTree->currentItem()->text(0), QString("Music"));
    QCOMPARE(SortedRowNames(m_pList), (QStringList{"Sub", "X.Mid", "a.mid", "b.MID"}));
    QCOMPARE(FindRow(m_pList, "a.mid")->text(1), QString("A"));
    QCOMPARE(FindRow(m_pList, "Sub")->text(2), QString());
    QCOMPARE(FindRow(m_pList, "b.MID")->text(2), QString("2KB"));
    QCOMPARE(m_pList->headerItem()->text(0), QString("Name"));
    // Deeper down in one call; the tree opens every branch on the way.
    m_pTree->SelectFolderPath(Home("Music/Sub/Deeper"));
    QCOMPARE(m_pTree->currentItem()->text(0), QString("Deeper"));
    QCOMPARE(RowNames(m_pList), QStringList{"deep.mid"});
    // A hidden folder is not in the tree: the selection stops above it.
    m_pTree->SelectFolderPath(Home("Music/.hidden"));
    QCOMPARE(m_pTree->currentItem()->text(0), QString("Music"));
}

void TestBrowserPanes::branchIsReadOnceUntilRefresh() {
    m_pTree->SelectFolderPath(Home("Music"));
    QTreeWidgetItem* music = m_pTree->currentItem();
    music->setExpanded(true);
    QCOMPARE(music->childCount(), 1);
    QVERIFY(QDir().mkpath(Home("Music/New")));
    music->setExpanded(false);
    music->setExpanded(true);
    QCOMPARE(music->childCount(), 1);

    m_pView->RefreshBrowser();
    QTreeWidgetItem* again = m_pTree->currentItem();
    QCOMPARE(again->text(0), QString("Music"));
    again->setExpanded(true);
    QCOMPARE(again->childCount(), 2);
    QCOMPARE(again->child(0)->text(0), QString("New"));
    QVERIFY(RowNames(m_pList).contains("New"));
    QVERIFY(m_prompter.entries.empty());
}

void TestBrowserPanes::missingFolderIsReported() {
    const QString missing = Home("Music/Gone");
    m_pTree->SelectFolderPath(missing);
    QCOMPARE(m_prompter.entries.size(), size_t(1));
    QCOMPARE(QString::fromStdString(m_prompter.entries[0].text), missing);
    QCOMPARE(m_prompter.entries[0].caption, std::string("Folder not found"));
    QCOMPARE(m_prompter.entries[0].icon, velnor::PromptIcon::Stop);
    QCOMPARE(m_pTree->currentItem(), m_pTree->topLevelItem(0));
}

void TestBrowserPanes::sortRulesByColumn() {
    m_pTree->SelectFolderPath(Home("Music"));
    // Before any click: by name, folders first (the order the header calls ascending).
    QCOMPARE(RowNames(m_pList), (QStringList{"Sub", "a.mid", "b.MID", "X.Mid"}));
    CCJFlatHeaderCtrl* header = m_pList->FlatHeader();
    QVERIFY(header);
    emit header->sectionClicked(0);  // so the first click on Name sorts descending
    QCOMPARE(RowNames(m_pList), (QStringList{"X.Mid", "b.MID", "a.mid", "Sub"}));
    emit header->sectionClicked(0);
    QCOMPARE(RowNames(m_pList), (QStringList{"Sub", "a.mid", "b.MID", "X.Mid"}));
    SelectRows(m_pList, {"b.MID"});
    emit header->sectionClicked(2);  // Size: by the number, a blank counting 0
    QCOMPARE(RowNames(m_pList), (QStringList{"Sub", "a.mid", "b.MID", "X.Mid"}));
    QCOMPARE(m_pList->SelectedNames(), std::vector<std::string>{"b.MID"});
    WriteBytes(Home("Music/big.mid"), 5000);
    m_pList->Reload();  // the sort holds across reloads
    QCOMPARE(RowNames(m_pList), (QStringList{"Sub", "a.mid", "b.MID", "X.Mid", "big.mid"}));
    emit header->sectionClicked(2);
    QCOMPARE(RowNames(m_pList).front(), QString("big.mid"));
}

void TestBrowserPanes::deleteRemovesAFolderTreeWithoutFollowingLinks() {
    SKIP_WITHOUT_SYMLINKS();
    QTemporaryDir outside;
    WriteSong(outside.path() + "/keep.mid");
    QVERIFY(QFile::link(outside.path(), Home("Music/Sub/link")));
    QVERIFY(QFile::link(outside.path() + "/keep.mid", Home("Music/Sub/Deeper/keep.mid")));
    m_pTree->SelectFolderPath(Home("Music"));
    SelectRows(m_pList, {"Sub", "X.Mid"});
    m_prompter.answers = {PromptAnswer::Yes};
    RightClick(m_pList, m_pList->visualItemRect(FindRow(m_pList, "Sub")).center(), "Delete");
    QCOMPARE(m_prompter.Texts(), std::vector<std::string>{"Delete files?"});
    QVERIFY(!QFileInfo::exists(Home("Music/Sub")));
    QVERIFY(!QFileInfo::exists(Home("Music/X.Mid")));
    QVERIFY(QFile::exists(outside.path() + "/keep.mid"));
    QCOMPARE(SortedRowNames(m_pList), (QStringList{"a.mid", "b.MID"}));
}

void TestBrowserPanes::deleteWithNothingSelectedOrDeclined() {
    m_pTree->SelectFolderPath(Home("Music"));
    const QPoint onRow = m_pList->visualItemRect(m_pList->topLevelItem(0)).center();
    QCOMPARE(RightClick(m_pList, onRow),
             (QStringList{"Delete", "Convert into Repository", "Refresh"}));
    QCOMPARE(RightClick(m_pList, QPoint(10, m_pList->viewport()->height() - 3)),
             QStringList{"Refresh"});
    m_pList->clearSelection();
    m_pList->OnDelete();
    QVERIFY(m_prompter.entries.empty());
    SelectRows(m_pList, {"a.mid"});
    WriteSong(Home("Music/later.mid"));
    m_prompter.answers = {PromptAnswer::No};
    m_pList->OnDelete();
    QCOMPARE(m_prompter.entries.size(), size_t(1));
    QVERIFY(QFile::exists(Home("Music/a.mid")));
    QVERIFY(FindRow(m_pList, "later.mid"));  // reloaded all the same
}

void TestBrowserPanes::renameFailureSaysWhyAndChangesNothing() {
    m_pTree->SelectFolderPath(Home("Music"));
    const QByteArray a = ReadBytes(Home("Music/a.mid"));
    const QByteArray b = ReadBytes(Home("Music/b.MID"));
    WriteSong(Home("Music/unseen.mid"));  // a reload would show it
    m_pList->OnEndLabelEdit("a.mid", "b.MID");
    m_pList->OnEndLabelEdit("a.mid", "x/y.mid");
    m_pList->OnEndLabelEdit("a.mid", "");
    QCOMPARE(m_prompter.entries.size(), size_t(3));
    QCOMPARE(m_prompter.entries[0].text,
             std::string("Cannot rename a.mid to b.MID: \"b.MID\" already exists"));
    for (const auto& entry : m_prompter.entries) {
        QVERIFY(QString::fromStdString(entry.text).startsWith("Cannot rename a.mid to "));
    }
    QCOMPARE(ReadBytes(Home("Music/a.mid")), a);
    QCOMPARE(ReadBytes(Home("Music/b.MID")), b);
    QVERIFY(!FindRow(m_pList, "unseen.mid"));  // no reload after a failure
}

void TestBrowserPanes::renameInPlace() {
    m_pTree->SelectFolderPath(Home("Music"));
    QTreeWidgetItem* row = FindRow(m_pList, "a.mid");
    m_pList->setCurrentItem(row, 0);
    m_pList->editItem(row, 0);
    QLineEdit* editor = m_pList->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText("Renamed.mid");
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(FindRow(m_pList, "Renamed.mid"));
    QVERIFY(QFile::exists(Home("Music/Renamed.mid")));
    QVERIFY(!QFile::exists(Home("Music/a.mid")));
    QVERIFY(!FindRow(m_pList, "a.mid"));
    // Only the name can be edited.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_pList->findChild<QLineEdit*>());
    m_pList->editItem(FindRow(m_pList, "b.MID"), 1);
    QVERIFY(!m_pList->findChild<QLineEdit*>());
}

void TestBrowserPanes::doubleClickOpensFoldersAndSongs() {
    m_pTree->SelectFolderPath(Home("Music"));
    OpenRecorder recorder;
    emit m_pList->itemDoubleClicked(FindRow(m_pList, "a.mid"), 0);
    QCOMPARE(recorder.opened, QStringList{Home("Music/a.mid")});
    emit m_pList->itemDoubleClicked(FindRow(m_pList, "Sub"), 0);
    QCOMPARE(m_pTree->currentItem()->text(0), QString("Sub"));
    QCOMPARE(SortedRowNames(m_pList), (QStringList{"Deeper", "inner.mid"}));
    QVERIFY(m_prompter.entries.empty());
}

void TestBrowserPanes::doubleClickOnAVanishedSong() {
    m_pTree->SelectFolderPath(Home("Music"));
    OpenRecorder recorder;
    QVERIFY(QFile::remove(Home("Music/a.mid")));
    QVERIFY(QDir(Home("Music/Sub")).removeRecursively());
    emit m_pList->itemDoubleClicked(FindRow(m_pList, "a.mid"), 0);
    QCOMPARE(m_prompter.Texts(), std::vector<std::string>{"File is not exist!"});
    QVERIFY(!FindRow(m_pList, "a.mid"));
    QVERIFY(FindRow(m_pList, "b.MID"));
    QVERIFY(recorder.opened.isEmpty());
}

void TestBrowserPanes::treeMenuOffersFolderActions() {
    m_pTree->SelectFolderPath(Home("Music"));
    QTreeWidgetItem* empty = m_pTree->topLevelItem(0)->child(0);
    const QPoint onEmpty = m_pTree->visualItemRect(empty).center();
    OpenRecorder recorder;
    QCOMPARE(RightClick(m_pTree, onEmpty, "Open in File Manager"),
             (QStringList{"Open in File Manager", "Copy Path", "Refresh"}));
    QCOMPARE(recorder.opened, QStringList{Home("Empty")});
    QCOMPARE(m_pTree->currentItem(), empty);  // the right-click selected it
    QCOMPARE(m_pList->GetItemCount(), 0);
    RightClick(m_pTree, onEmpty, "Copy Path");
    QCOMPARE(QGuiApplication::clipboard()->text(), Home("Empty"));
    // Empty space: the selection goes, no menu opens, the list stays.
    const QStringList rows = RowNames(m_pList);
    QCOMPARE(RightClick(m_pTree, QPoint(5, m_pTree->viewport()->height() - 3)), QStringList());
    QVERIFY(!m_pTree->currentItem());
    QVERIFY(m_pTree->selectedItems().isEmpty());
    QString path;
    QVERIFY(!m_pTree->GetSelectedFolderPath(path));
    QCOMPARE(RowNames(m_pList), rows);
}

void TestBrowserPanes::linkedFoldersAreBrowsedInTheTreeOnly() {
    SKIP_WITHOUT_SYMLINKS();
    QTemporaryDir disk;
    QVERIFY(QDir().mkpath(disk.path() + "/Songs"));
    WriteSong(disk.path() + "/Songs/far.mid");
    QVERIFY(QFile::link(disk.path(), Home("Linked")));
    // Two links that lead into each other: a walk without end, were the
    // branches not filled only when opened.
    QVERIFY(QFile::link(Home("Empty"), Home("Music/Sub/Across")));
    QVERIFY(QFile::link(Home("Music"), Home("Empty/Back")));
    m_pView->RefreshBrowser();
    QTreeWidgetItem* home = m_pTree->topLevelItem(0);
    QCOMPARE(ChildNames(home), (QStringList{"Empty", "Linked", "Music"}));
    // The list keeps to real folders: a link is no folder row.
    m_pTree->SelectFolderPath(Home());
    QCOMPARE(RowNames(m_pList), (QStringList{"Empty", "Music"}));

    m_pTree->SelectFolderPath(Home("Linked/Songs"));
    QCOMPARE(m_pTree->currentItem()->text(0), QString("Songs"));
    QCOMPARE(RowNames(m_pList), QStringList{"far.mid"});

    const QString loop = Home("Music/Sub/Across/Back/Sub/Across/Back");
    m_pTree->SelectFolderPath(loop);
    QTreeWidgetItem* deepest = m_pTree->currentItem();
    QCOMPARE(deepest->data(0, CCJShellTree::kPathRole).toString(), loop);
    QVERIFY(RowNames(m_pList).contains("a.mid"));
    QCOMPARE(deepest->childCount(), 0);  // nothing below is read until it opens
    QCOMPARE(deepest->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    deepest->setExpanded(true);
    QCOMPARE(ChildNames(deepest), QStringList{"Sub"});
    QCOMPARE(deepest->child(0)->childCount(), 0);
    QVERIFY(m_prompter.entries.empty());
}

QTEST_MAIN(TestBrowserPanes)
#include "test_browser_panes.moc"
