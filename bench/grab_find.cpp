// A picture of the port dialog after Find, on the computer's real ports (run
// under xvfb-run, with a JACK server, velnor-instrument --api jack and other
// MIDI clients running):   grab_find OUT.png
// The program's own platform is used: the real ports, then the built-in
// virtual instrument, which Find leaves out. Prints the line of text the
// dialog shows and the selected pair.
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>
#include <memory>

#include "common/EventPump.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "ui/MidiDeviceDlg.h"
#include "ui/ProgramPlatform.h"
#include "ui/QtEventPump.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("find.png");
    CQtEventPump pump;
    velnor::SetEventPump(&pump);
    std::unique_ptr<velnor::MidiPlatform> platform = ProgramPlatform();
    StartPortLayer(platform.get());
    velnor::CMidiTrans trans;  // releases the port layer at the end
    int nIn = -1;
    int nOut = -1;
    bool saved = false;
    {
        CMidiDeviceDlg dlg;
        dlg.m_pnInPort = &nIn;
        dlg.m_pnOutPort = &nOut;
        dlg.FillPortLists();
        dlg.show();
        app.processEvents();
        dlg.FindButton()->click();
        for (int i = 0; i < 10; ++i) app.processEvents(QEventLoop::AllEvents, 20);
        auto Selected = [](const QListWidget* list) {
            const QListWidgetItem* item = list->currentItem();
            return item ? item->text().toStdString() : std::string("(none)");
        };
        std::printf("text: %s\nin:   %s\nout:  %s\n", dlg.FoundText()->text().toUtf8().constData(),
                    Selected(dlg.InputList()).c_str(), Selected(dlg.OutputList()).c_str());
        saved = dlg.grab().save(out);
    }
    velnor::SetEventPump(nullptr);
    return saved ? 0 : 1;
}
