// The three song lists as a keyboard user meets them: delete questions that
// Enter alone does not confirm, the Delete key, the Menu key and Shift+F10,
// and the tooltips of names cut by their column.
#include <QAbstractButton>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QToolTip>

#include "ComputerSide.h"
#include "common/ScriptedPrompter.h"
#include "ui/DevListCtrl.h"
#include "ui/DeviceMessages.h"
#include "ui/QtPrompter.h"
#include "ui/RepListCtrl.h"
#include "widgets/CJShellList.h"

using namespace computer_test;

namespace {

/// The slot list's pane as far as these tests need it: the deletions asked.
class SlotRequests : public QObject {
  public:
    QList<int> deletions;  // slot numbers, then -1

  protected:
    bool event(QEvent* e) override {
        if (e->type() != WM_DELETE_SLOT) return QObject::event(e);
        deletions << static_cast<CDeviceRequestEvent*>(e)->WParam();
        return true;
    }
};

struct Song {
    QString file;
    std::string name;
};

/// One of the three lists, shown, with rows to act on. "slots": Song0.mid,
/// Song1.mid, Empty. "repository": the songs. "browser": a folder "Songs"
/// holding a song, then the songs.
class ListUnderTest {
  public:
    explicit ListUnderTest(const QString& kind,
                           const QList<Song>& songs = {{"a.mid", "Tune"}, {"b.mid", "Tune"}}) {
        for (const Song& song : songs) WriteSong(m_dir.filePath(song.file), song.name);
        if (kind == "slots") {
            auto* slotList = new DevListCtrl;
            slotList->BuildColumns({{5037, 150}});
            slotList->SetNotifyWindow(&m_requests);
            slotList->AppendSlotItem({"Song0.mid", false});
            slotList->AppendSlotItem({"Song1.mid", false});
            slotList->AppendSlotItem({"Empty", true});
            deleteCommand = [slotList] { slotList->OnDelete(); };
            list = slotList;
        } else if (kind == "repository") {
            auto* repository = new RepListCtrl;
            repository->BuildColumns({{5036, 150}, {5035, 100}, {5003, 55}});
            repository->m_strFolder = m_dir.path() + "/";
            for (const Song& song : songs) repository->AddFileItem(m_dir.filePath(song.file));
            deleteCommand = [repository] { repository->OnDelete(); };
            list = repository;
        } else {
            QDir(m_dir.path()).mkdir("Songs");
            WriteSong(m_dir.filePath("Songs/inner.mid"));
            auto* browser = new CCJShellList;
            browser->BuildColumns({{5001, 150}, {5035, 100}, {5003, 55}});
            browser->ShowFolder(m_dir.path());
            deleteCommand = [browser] { browser->OnDelete(); };
            list = browser;
        }
        m_owned.reset(list);
        m_bSlots = kind == "slots";
        m_names = RowNames(list);
        list->move(20, 20);
        list->resize(420, 200);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list));
    }

    /// Selects `row` alone and makes it current, as a click does; -1 clears.
    void Select(int row) {
        list->clearSelection();
        list->setCurrentItem(row < 0 ? nullptr : list->GetItem(row));
    }

    /// Whether the item of `row` was left alone.
    bool Kept(int row) const {
        if (m_bSlots) return !m_requests.deletions.contains(row);
        return QFileInfo::exists(m_dir.filePath(m_names.value(row)));
    }

    CCJListCtrl* list = nullptr;
    /// The context menu's Delete.
    std::function<void()> deleteCommand;

  private:
    QTemporaryDir m_dir;
    SlotRequests m_requests;
    std::unique_ptr<CCJListCtrl> m_owned;
    QStringList m_names;
    bool m_bSlots = false;
};

/// Runs `act` on the first modal message box that comes up while it lives.
class OnMessageBox {
  public:
    explicit OnMessageBox(std::function<void(QMessageBox&)> act) {
        QObject::connect(&m_poll, &QTimer::timeout, [this, act] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            m_poll.stop();
            act(*box);
        });
        m_poll.start(5);
    }

  private:
    QTimer m_poll;
};

/// The texts and the place of the popup menu that `open` brings up; the
/// menu is closed.
QPair<QStringList, QPoint> MenuOpenedBy(const std::function<void()>& open) {
    QStringList texts;
    QPoint at(-1, -1);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        poll.stop();
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) texts << action->text();
        }
        at = menu->pos();
        menu->close();
    });
    poll.start(5);
    open();
    return {texts, at};
}

}  // namespace

class TestSongLists : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { velnor::SetPrompter(nullptr); }
    void enterAloneKeepsWhatADeleteQuestionAsksAbout_data();
    void enterAloneKeepsWhatADeleteQuestionAsksAbout();
    void deleteKeyAsksAsTheMenuDoes_data();
    void deleteKeyAsksAsTheMenuDoes();
    void menuKeysOpenTheSelectedRowsMenuAtThatRow_data();
    void menuKeysOpenTheSelectedRowsMenuAtThatRow();
    void cutTextShowsWhole_data();
    void cutTextShowsWhole();
};

void TestSongLists::enterAloneKeepsWhatADeleteQuestionAsksAbout_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("question");
    QTest::newRow("repository") << "repository"
                                << "Delete files?";
    QTest::newRow("browser folder") << "browser"
                                    << "Delete files?";
    QTest::newRow("slot") << "slots"
                          << "Delete Song0.mid?";
}

void TestSongLists::enterAloneKeepsWhatADeleteQuestionAsksAbout() {
    QFETCH(QString, kind);
    QFETCH(QString, question);
    ListUnderTest t(kind);
    t.Select(0);
    CQtPrompter prompter;
    velnor::SetPrompter(&prompter);
    QString asked;
    QStringList buttons;
    const OnMessageBox enter([&](QMessageBox& box) {
        asked = box.text();
        for (QAbstractButton* button : box.buttons()) buttons << button->text().remove('&');
        QTest::keyClick(&box, Qt::Key_Return);
    });
    t.deleteCommand();
    QCOMPARE(asked, question);
    QCOMPARE(buttons.size(), 2);  // Yes and No, nothing more
    QVERIFY(t.Kept(0));
}

void TestSongLists::deleteKeyAsksAsTheMenuDoes_data() {
    enterAloneKeepsWhatADeleteQuestionAsksAbout_data();  // the same lists and questions
}

void TestSongLists::deleteKeyAsksAsTheMenuDoes() {
    QFETCH(QString, kind);
    QFETCH(QString, question);
    ListUnderTest t(kind);
    t.Select(0);
    velnor::ScriptedPrompter prompter;
    prompter.answers = {velnor::PromptAnswer::Yes};
    velnor::SetPrompter(&prompter);
    QTest::keyClick(t.list, Qt::Key_Delete);
    QCOMPARE(prompter.Texts(), std::vector<std::string>{question.toStdString()});
    QVERIFY(!t.Kept(0));
    QVERIFY(t.Kept(1));
}

void TestSongLists::menuKeysOpenTheSelectedRowsMenuAtThatRow_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("shiftF10");  // else the Menu key
    QTest::addColumn<int>("row");        // the selected row, -1 none
    for (const bool shiftF10 : {false, true}) {
        const char* key = shiftF10 ? "Shift+F10" : "Menu key";
        QTest::addRow("slot 0, %s", key) << "slots" << shiftF10 << 0;
        QTest::addRow("repository row 1, %s", key) << "repository" << shiftF10 << 1;
        QTest::addRow("browser row 2, %s", key) << "browser" << shiftF10 << 2;
    }
    QTest::newRow("nothing selected") << "repository" << false << -1;
}

void TestSongLists::menuKeysOpenTheSelectedRowsMenuAtThatRow() {
    QFETCH(QString, kind);
    QFETCH(bool, shiftF10);
    QFETCH(int, row);
    ListUnderTest t(kind);
    t.Select(row);
    CCJListCtrl* list = t.list;
    const auto [texts, at] = MenuOpenedBy([&] {
        if (shiftF10) return QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        // The Menu key as the window delivers it: at the current cell's
        // middle, in the list's coordinates.
        const QPoint pos = list->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, pos, list->mapToGlobal(pos));
        QApplication::sendEvent(list, &menuKey);
    });
    if (row < 0) {
        QCOMPARE(texts, QStringList{"Refresh"});
        QCOMPARE(at, list->viewport()->mapToGlobal(QPoint(0, 0)));
        return;
    }
    QCOMPARE(texts.value(0), QStringLiteral("Delete"));
    const QRect rowRect = list->visualItemRect(list->GetItem(row));
    QVERIFY2(QRect(list->viewport()->mapToGlobal(rowRect.topLeft()), rowRect.size()).contains(at),
             "the menu opens on the selected row");
}

void TestSongLists::cutTextShowsWhole_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("songName");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("tip");
    const QString longFile = "An evening song whose file name goes on and on.mid";
    const QString longSong = "An evening song with a long name";
    QTest::newRow("repository, name cut") << "repository" << longFile << "Tune" << 0 << true;
    QTest::newRow("repository, song name cut") << "repository"
                                               << "a.mid" << longSong << 1 << true;
    QTest::newRow("repository, name whole") << "repository"
                                            << "a.mid"
                                            << "Tune" << 0 << false;
    QTest::newRow("browser, name cut") << "browser" << longFile << "Tune" << 0 << true;
    QTest::newRow("browser, song name cut") << "browser"
                                            << "a.mid" << longSong << 1 << true;
    QTest::newRow("browser, song name whole") << "browser"
                                              << "a.mid"
                                              << "Tune" << 1 << false;
}

void TestSongLists::cutTextShowsWhole() {
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(QString, songName);
    QFETCH(int, column);
    QFETCH(bool, tip);
    ListUnderTest t(kind, {{file, songName.toStdString()}});
    QTreeWidgetItem* item = FindRow(t.list, file);
    QVERIFY(item);
    const QString whole = item->text(column);
    QCOMPARE(whole, column == 0 ? file : songName);
    QToolTip::hideText();
    const QPoint at = t.list->visualRect(t.list->indexFromItem(item, column)).center();
    QHelpEvent help(QEvent::ToolTip, at, t.list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(t.list->viewport(), &help);
    QCOMPARE(QToolTip::isVisible() && QToolTip::text() == whole, tip);
}

QTEST_MAIN(TestSongLists)
#include "test_song_lists.moc"
