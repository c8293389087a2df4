// Pictures of the repository's Delete key and of a song dropped on a slot,
// taken from the real window with real message boxes on whatever display the
// program runs on (the boxes are windows of their own, so the whole screen is
// taken):   xvfb-run -a -s "-screen 0 1024x768x24" grab_deletes_and_drops OUTDIR
//   1-delete-asks.png     Delete pressed on Tune.mid: "Delete files?"
//   2-enter-keeps.png     Enter pressed: the song is still listed
//   3-yes-deletes.png     Delete again, Yes clicked: the song is gone
//   4-drop-asks.png       Tune.mid dropped on slot 3, which holds a song:
//                         "Overwrite?", as Download asks
//   5-drop-sent.png       Yes: "Download successfully!"
//   6-slot-3.png          the slot list read again, Tune.mid in slot 3
//   7-shift-f10-slot-0.png   Shift+F10 on slot 0: its menu, at its row
//   8-cut-name-tooltip.png   the mouse resting on a name the column cuts
// Keys and the mouse go through the window as the keyboard's and the mouse's
// do: the song is pressed on, dragged to slot 3 and let go there.
#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <cstdio>
#include <functional>

#include "ConnectThroughTheDialog.h"
#include "common/ScriptedPrompter.h"
#include "instrument/InstrumentSongs.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CMidiDevice.h"
#include "ui/DevListCtrl.h"
#include "ui/MainFrame.h"
#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/ProgramPlatform.h"
#include "ui/QtEventPump.h"
#include "ui/QtPrompter.h"
#include "ui/RepListCtrl.h"
#include "ui/TopLeftView.h"
#include "ui/TopRightView.h"
#include "workflows/Connection.h"

namespace {

namespace vi = velnor::instrument;

void Settle() {
    for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool SaveScreen(const QString& path) {
    Settle();
    return QGuiApplication::primaryScreen()->grabWindow(0).save(path);
}

/// Runs `act` on each message box that comes up, in turn, once it is shown.
class BoxAnswerer {
  public:
    using Act = std::function<void(QMessageBox&)>;
    explicit BoxAnswerer(QList<Act> acts) : m_acts(std::move(acts)) {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box == m_pLast.data() || !box->isVisible() || m_acts.isEmpty()) return;
            m_pLast = box;
            std::printf("  asked: \"%s\" [%s]\n", qPrintable(box->text()),
                        box->defaultButton() ? qPrintable(box->defaultButton()->text().remove('&'))
                                             : "none set");
            m_acts.takeFirst()(*box);
        });
        m_poll.start(20);
    }

  private:
    QList<Act> m_acts;
    QPointer<QMessageBox> m_pLast;  // answered, maybe still closing
    QTimer m_poll;
};

void WriteSong(const QString& path, const std::string& name) {
    const vi::Bytes song = vi::MakeSong(name, {{60}, {64}, {67}}, 120);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(reinterpret_cast<const char*>(song.data()), qsizetype(song.size()));
    }
}

/// Selects the repository row `name` and gives the list the focus.
void SelectSong(RepListCtrl* list, const QString& name) {
    list->clearSelection();
    for (int row = 0; row < list->GetItemCount(); ++row) {
        if (list->GetItemText(row, 0) == name) list->setCurrentItem(list->GetItem(row));
    }
    list->setFocus(Qt::OtherFocusReason);
    Settle();
}

/// A key pressed and let go on the window that has it, as the keyboard does.
void Key(QWidget* window, Qt::Key key) {
    QTest::keyClick(window->windowHandle(), key);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QDir(GetRepositoryPath()).removeRecursively();
    QDir().mkpath(GetRepositoryPath());
    WriteSong(GetRepositoryPath() + "Tune.mid", "Tune");

    CQtEventPump pump;
    velnor::ScriptedPrompter quiet;  // the greeting of the connection
    velnor::SetEventPump(&pump);
    velnor::SetPrompter(&quiet);
    vi::InstrumentOptions options = vi::InstrumentOptions::Defaults();
    options.songs.emplace_back(
        3, vi::InstrumentSong{"Evening.mid", vi::MakeSong("Evening", {{57}}, 120)});
    vi::VirtualInstrumentPlatform instrument(options, vi::Link::None);
    auto frame = std::make_unique<CMainFrame>();
    frame->Create();
    frame->move(0, 0);
    frame->show();
    frame->activateWindow();
    StartPortLayer(&instrument);
    Settle();
    ConnectThroughTheDialog(GetMiddleView(frame.get()));
    DevListCtrl* slotList = GetTopLeftView(frame.get())->SlotList();
    if (velnor::g_bConnected.load() != 1 || slotList->GetItemCount() < 4) {
        std::fprintf(stderr, "could not connect to the virtual instrument\n");
        return 1;
    }
    CQtPrompter prompter;
    velnor::SetPrompter(&prompter);
    CTopRightView* repository = GetTopRightView(frame.get());
    RepListCtrl* songs = repository->GetListCtrl();
    repository->RefreshList();
    const QString tune = GetRepositoryPath() + "Tune.mid";
    bool bSaved = true;

    std::printf("Delete, then Enter:\n");
    SelectSong(songs, "Tune.mid");
    {
        BoxAnswerer answer({[&](QMessageBox& box) {
            bSaved &= SaveScreen(out + "/1-delete-asks.png");
            Key(&box, Qt::Key_Return);
        }});
        Key(frame.get(), Qt::Key_Delete);
    }
    bSaved &= SaveScreen(out + "/2-enter-keeps.png");
    std::printf("  Tune.mid %s\n", QFile::exists(tune) ? "kept" : "deleted");

    std::printf("Delete, then Yes:\n");
    SelectSong(songs, "Tune.mid");
    {
        BoxAnswerer answer({[](QMessageBox& box) {
            QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton);
        }});
        Key(frame.get(), Qt::Key_Delete);
    }
    bSaved &= SaveScreen(out + "/3-yes-deletes.png");
    std::printf("  Tune.mid %s\n", QFile::exists(tune) ? "kept" : "deleted");

    std::printf("Delete, then Y:\n");
    WriteSong(tune, "Tune");
    repository->RefreshList();
    SelectSong(songs, "Tune.mid");
    {
        BoxAnswerer answer({[](QMessageBox& box) { Key(&box, Qt::Key_Y); }});
        Key(frame.get(), Qt::Key_Delete);
    }
    std::printf("  Tune.mid %s\n", QFile::exists(tune) ? "kept" : "deleted");

    std::printf("Tune.mid dropped on slot 3 (%s):\n", qPrintable(slotList->GetItemText(3, 0)));
    WriteSong(tune, "Tune");
    repository->RefreshList();
    SelectSong(songs, "Tune.mid");
    {
        BoxAnswerer answer({[&](QMessageBox& box) {
                                bSaved &= SaveScreen(out + "/4-drop-asks.png");
                                QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton);
                            },
                            [&](QMessageBox& box) {
                                bSaved &= SaveScreen(out + "/5-drop-sent.png");
                                QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
                            }});
        // The mouse takes the song by its row and lets it go over slot 3; the
        // moves and the release come once the drag runs.
        QWindow* window = frame->windowHandle();
        const QRect row = songs->visualItemRect(songs->GetItem(0));
        const QPoint from = songs->viewport()->mapTo(frame.get(), row.center());
        const QPoint to = slotList->viewport()->mapTo(
            frame.get(), slotList->visualItemRect(slotList->GetItem(3)).center());
        QTimer dragging;
        QObject::connect(&dragging, &QTimer::timeout, [&] {
            if (!songs->findChild<QDrag*>()) return;  // not yet dragging
            dragging.stop();
            for (int step = 1; step <= 10; ++step) {
                QTest::mouseMove(window, from + (to - from) * step / 10);
            }
            QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, to);
        });
        dragging.start(20);
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(window, from + QPoint(20, 0));
        QTest::mouseMove(window, from + QPoint(40, 0));
        Settle();  // the Download runs once the drop has returned
    }
    bSaved &= SaveScreen(out + "/6-slot-3.png");
    std::printf("  slot 3 now: %s\n", qPrintable(slotList->GetItemText(3, 0)));

    std::printf("Shift+F10 on slot 0:\n");
    slotList->setCurrentItem(slotList->GetItem(0));
    slotList->setFocus(Qt::OtherFocusReason);
    Settle();
    QTimer menuUp;
    QObject::connect(&menuUp, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        menuUp.stop();
        QStringList texts;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) texts << action->text();
        }
        std::printf(
            "  menu at slot 0's row: %s (%s)\n",
            slotList->viewport()->rect().contains(slotList->viewport()->mapFromGlobal(menu->pos()))
                ? "yes"
                : "no",
            qPrintable(texts.join(", ")));
        bSaved &= SaveScreen(out + "/7-shift-f10-slot-0.png");
        menu->close();
    });
    menuUp.start(20);
    QTest::keyClick(frame->windowHandle(), Qt::Key_F10, Qt::ShiftModifier);
    menuUp.stop();

    std::printf("The mouse resting on a long name:\n");
    const QString longName = QStringLiteral("An evening song whose name goes on and on.mid");
    WriteSong(GetRepositoryPath() + longName, "Evening");
    repository->RefreshList();
    SelectSong(songs, longName);
    frame->activateWindow();  // tooltips show in the active window
    if (!QTest::qWaitForWindowActive(frame.get())) std::printf("  the window is not active\n");
    for (int row = 0; row < songs->GetItemCount(); ++row) {
        if (songs->GetItemText(row, 0) != longName) continue;
        const QPoint over = songs->viewport()->mapTo(
            frame.get(), songs->visualItemRect(songs->GetItem(row)).topLeft() + QPoint(60, 8));
        QTest::mouseMove(frame->windowHandle(), over);
    }
    (void)QTest::qWaitFor([] { return QToolTip::isVisible(); }, 5000);  // the hover delay
    std::printf("  tooltip: %s\n", QToolTip::isVisible() ? qPrintable(QToolTip::text()) : "none");
    bSaved &= SaveScreen(out + "/8-cut-name-tooltip.png");

    frame.reset();
    velnor::CMidiDevice::SetPlatform(nullptr);
    velnor::SetPrompter(nullptr);
    velnor::SetEventPump(nullptr);
    return bSaved ? 0 : 1;
}
