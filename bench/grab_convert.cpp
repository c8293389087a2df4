// Pictures of songs from elsewhere going into the repository, taken from the
// real window with its real message boxes (run under xvfb-run):
//   grab_convert OUTDIR FOLDER
// FOLDER holds MIDI files the song rule refuses (format 1, other divisions).
//   drop-refused.png   a format-1 song dropped onto the repository: its box
//   drop-question.png  the question after the drop, answered Yes
//   drop-done.png      the window with the converted song listed
//   menu.png           "Convert into Repository" on three browser files
//   menu-done.png      the window after it
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <deque>

#include "ui/BottomView.h"
#include "ui/MainFrame.h"
#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/QtEventPump.h"
#include "ui/QtPrompter.h"
#include "ui/TopRightView.h"
#include "widgets/CJShellList.h"
#include "widgets/CJShellTree.h"

namespace {

void Settle(QApplication& app) {
    for (int i = 0; i < 20; ++i) app.processEvents(QEventLoop::AllEvents, 20);
}

bool Shoot(const QString& file) {
    return QGuiApplication::primaryScreen()->grabWindow(0).save(file);
}

/// Each box or menu that opens is photographed into the next file, then
/// answered with the next button or menu entry.
struct Answers {
    std::deque<std::pair<QString, QString>> steps;  // (file, button or entry text)
    bool saved = true;
    QWidget* seen = nullptr;  // shown at the last poll: painted by now
    void Poll() {
        if (steps.empty()) return;
        QWidget* open = QApplication::activeModalWidget();
        if (!open) open = QApplication::activePopupWidget();
        if (!open || !open->isVisible() || open != seen) {
            seen = open;
            return;
        }
        seen = nullptr;
        const auto [file, choose] = steps.front();
        steps.pop_front();
        saved &= Shoot(file);
        if (auto* box = qobject_cast<QMessageBox*>(open)) {
            saved &= box->grab().save(QString(file).replace(".png", "-box.png"));
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().remove('&') == choose) button->click();
            }
        } else if (auto* menu = qobject_cast<QMenu*>(open)) {
            for (QAction* action : menu->actions()) {
                if (action->text() == choose) menu->setActiveAction(action);
            }
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(menu, &enter);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: grab_convert OUTDIR FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString folder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(out);
    QDir repository(GetRepositoryPath());
    for (const QString& name : repository.entryList(QDir::Files)) repository.remove(name);
    QStringList songs = QDir(folder).entryList({"*.mid"}, QDir::Files, QDir::Name);
    if (songs.size() < 4) {
        std::fprintf(stderr, "FOLDER needs four songs\n");
        return 2;
    }

    CQtEventPump pump;
    CQtPrompter prompter;
    velnor::SetEventPump(&pump);
    velnor::SetPrompter(&prompter);
    auto frame = std::make_unique<CMainFrame>();
    frame->Create();
    frame->move(0, 0);
    frame->show();
    Settle(app);
    CCJShellList* browser = GetBottomView(frame.get())->FileList();
    browser->Tree()->SelectFolderPath(folder);
    Settle(app);

    Answers answers;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&answers] { answers.Poll(); });
    poll.start(100);

    // A drop of the first song from the desktop.
    answers.steps = {{out + "/drop-refused.png", "OK"}, {out + "/drop-question.png", "Yes"}};
    GetTopRightView(frame.get())->OnFilesDropped({folder + "/" + songs[0]});
    Settle(app);
    answers.saved &= Shoot(out + "/drop-done.png");

    // Three more through the browser's menu.
    browser->clearSelection();
    for (int i = 1; i <= 3; ++i) {
        for (int row = 0; row < browser->topLevelItemCount(); ++row) {
            if (browser->topLevelItem(row)->text(0) == songs[i])
                browser->topLevelItem(row)->setSelected(true);
        }
    }
    answers.steps = {{out + "/menu.png", "Convert into Repository"}};
    const QRect row = browser->visualItemRect(browser->selectedItems().first());
    QContextMenuEvent event(QContextMenuEvent::Mouse, row.center(),
                            browser->viewport()->mapToGlobal(row.center()));
    QApplication::sendEvent(browser->viewport(), &event);
    Settle(app);
    answers.saved &= Shoot(out + "/menu-done.png");
    std::printf("repository: %s\n",
                qPrintable(QDir(GetRepositoryPath()).entryList(QDir::Files).join(", ")));

    frame.reset();
    velnor::SetPrompter(nullptr);
    velnor::SetEventPump(nullptr);
    return answers.saved && answers.steps.empty() ? 0 : 1;
}
