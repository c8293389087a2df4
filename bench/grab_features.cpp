// Pictures of the window's aids, taken from the real window on whatever
// display the program runs on (run it under xvfb-run for an X server with no
// desktop programs):   grab_features OUTDIR
//   slots.png   the slot list with its slot numbers, after connecting to the
//               virtual instrument and deleting the song in slot 0
//   focus.png   the middle pane with the focus on a skinned button (and the
//               same, three times the size: focus-x3.png)
//   help.png    the screen with the help shown
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <cstdio>

#include "ConnectThroughTheDialog.h"
#include "common/ScriptedPrompter.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CMidiDevice.h"
#include "ui/DevListCtrl.h"
#include "ui/HelpViewer.h"
#include "ui/MainFrame.h"
#include "ui/MiddleView.h"
#include "ui/MidiDeviceDlg.h"
#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/ProgramPlatform.h"
#include "ui/QtEventPump.h"
#include "ui/TopLeftView.h"
#include "widgets/GdipButton.h"
#include "workflows/Connection.h"

namespace {

namespace vi = velnor::instrument;

/// Answers every question Yes.
class YesPrompter : public velnor::ScriptedPrompter {
  public:
    velnor::PromptAnswer Ask(const std::string& text, velnor::PromptButtons buttons,
                             const std::string& caption, velnor::PromptIcon icon) override {
        if (buttons != velnor::PromptButtons::Ok) answers.push_back(velnor::PromptAnswer::Yes);
        return ScriptedPrompter::Ask(text, buttons, caption, icon);
    }
    using Prompter::Ask;
};

void Settle(QApplication& app) {
    for (int i = 0; i < 20; ++i) app.processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    // The help document beside the program, as an installation has it.
    const QString help = GetProgramFolder() + "Help.mht";
    if (!QFile::exists(help)) QFile::copy(QStringLiteral(VELNOR_SOURCE_DIR "/res/Help.mht"), help);

    CQtEventPump pump;
    YesPrompter prompter;
    velnor::SetEventPump(&pump);
    velnor::SetPrompter(&prompter);
    vi::VirtualInstrumentPlatform instrument(vi::InstrumentOptions::Defaults(), vi::Link::None);
    auto frame = std::make_unique<CMainFrame>();
    frame->Create();
    frame->move(0, 0);
    frame->show();
    StartPortLayer(&instrument);
    Settle(app);

    // Slot 0 emptied: songs stay in slots 1 and 2.
    ConnectThroughTheDialog(GetMiddleView(frame.get()));
    DevListCtrl* slotList = GetTopLeftView(frame.get())->SlotList();
    if (velnor::g_bConnected.load() != 1 || slotList->GetItemCount() < 3) {
        std::fprintf(stderr, "could not connect to the virtual instrument\n");
        return 1;
    }
    slotList->clearSelection();
    slotList->GetItem(0)->setSelected(true);
    slotList->OnDelete();
    slotList->GetItem(1)->setSelected(true);
    Settle(app);
    bool bSaved = frame->grab().save(out + "/slots.png");
    bSaved &= slotList->grab().save(out + "/slots-list.png");

    // The focus on Copy Up, reached with Tab from Refresh.
    frame->activateWindow();
    CMiddleView* middle = GetMiddleView(frame.get());
    middle->RefreshButton()->setFocus(Qt::TabFocusReason);
    Settle(app);
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &tab);
    Settle(app);
    const QPixmap pane = middle->grab();
    bSaved &= pane.save(out + "/focus.png");
    bSaved &= pane.scaled(pane.size() * 3).save(out + "/focus-x3.png");
    std::printf(
        "focus on: %s (%s)\n",
        QApplication::focusWidget() ? qPrintable(QApplication::focusWidget()->accessibleName())
                                    : "nothing",
        QApplication::focusWidget() ? qPrintable(QApplication::focusWidget()->toolTip()) : "");

    // Help with whatever the desktop offers (here: nothing).
    middle->OnHelp();
    Settle(app);
    auto* viewer = frame->findChild<CHelpViewerDlg*>();
    std::printf("help viewer: %s; messages: %zu\n", viewer ? "shown" : "not shown",
                prompter.entries.size());
    for (const std::string& text : prompter.Texts()) std::printf("  message: %s\n", text.c_str());
    if (viewer) viewer->move(120, 90);
    frame->update();
    for (int i = 0; i < 5; ++i) Settle(app);
    bSaved &= QGuiApplication::primaryScreen()->grabWindow(0).save(out + "/help.png");

    frame.reset();
    velnor::CMidiDevice::SetPlatform(nullptr);
    velnor::SetPrompter(nullptr);
    velnor::SetEventPump(nullptr);
    return bSaved ? 0 : 1;
}
