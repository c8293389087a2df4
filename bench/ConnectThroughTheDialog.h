#pragma once
// Connect as a user does: the port dialog opens, both lists get the virtual
// instrument selected, OK. Shared by the window's benchmarks and pictures.
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "ui/MiddleView.h"
#include "ui/MidiDeviceDlg.h"

inline void ConnectThroughTheDialog(CMiddleView* middle) {
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CMidiDeviceDlg*>(QApplication::activeModalWidget());
        if (!dlg) return;
        for (QListWidget* list : {dlg->InputList(), dlg->OutputList()}) {
            const auto items =
                list->findItems(QStringLiteral("Velnor Virtual Instrument"), Qt::MatchExactly);
            if (!items.isEmpty()) items.front()->setSelected(true);
        }
        dlg->OkButton()->click();
    });
    middle->OnConnect();
}
