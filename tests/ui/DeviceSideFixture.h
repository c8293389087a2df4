#pragma once

// What the device-side widget tests share: the window with the virtual
// instrument behind its ports (no link delay), scripted message boxes, the
// window's own event pump, and helpers that act on the modal port dialog.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "common/ScriptedPrompter.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"
#include "support/SongOfLength.h"
#include "ui/DevListCtrl.h"
#include "ui/MainFrame.h"
#include "ui/MiddleView.h"
#include "ui/MidiDeviceDlg.h"
#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/ProgramPlatform.h"
#include "ui/QtEventPump.h"
#include "ui/TopLeftView.h"
#include "ui/TopMiddleView.h"
#include "ui/TopRightView.h"
#include "widgets/CJListCtrl.h"
#include "widgets/GdipButton.h"
#include "workflows/Connection.h"

namespace devtest {

using velnor::instrument::InstrumentOptions;
using velnor::instrument::InstrumentSong;
using velnor::instrument::Link;
using velnor::instrument::VirtualInstrumentPlatform;

inline const QString kInstrument = QStringLiteral("Velnor Virtual Instrument");

/// Runs `act` on the port dialog once it is up (it is modal: the call that
/// showed it is still running).
inline void OnPortDialog(std::function<void(CMidiDeviceDlg&)> act, int nTries = 200) {
    QTimer::singleShot(0, [act, nTries] {
        auto* dlg = qobject_cast<CMidiDeviceDlg*>(QApplication::activeModalWidget());
        if (dlg) {
            act(*dlg);
        } else if (nTries > 0) {
            OnPortDialog(act, nTries - 1);
        }
    });
}

/// Selects the entry `text` of `list` (none when it is empty).
inline void SelectPort(QListWidget* list, const QString& text) {
    list->clearSelection();
    const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchExactly);
    if (!items.isEmpty()) items.front()->setSelected(true);
}

/// The window with an instrument behind it.
class DeviceSide {
  public:
    DeviceSide() : vi(InstrumentOptions::Defaults(), Link::None) {
        velnor::SetPrompter(&prompter);
        velnor::SetEventPump(&pump);
        velnor::g_bConnected = 0;
        velnor::CMidiTrans::s_bIdle = true;
        frame = std::make_unique<CMainFrame>();
        frame->Create();
        frame->show();
        StartPortLayer(&vi);
        QDir(GetRepositoryPath()).removeRecursively();
        QDir().mkpath(GetRepositoryPath());
    }
    ~DeviceSide() {
        frame.reset();  // the panes release the port layer
        velnor::CMidiDevice::SetPlatform(nullptr);
        velnor::SetEventPump(nullptr);
        velnor::SetPrompter(nullptr);
        velnor::g_bConnected = 0;
    }

    CMiddleView* Middle() const { return GetMiddleView(frame.get()); }
    CTopLeftView* Slots() const { return GetTopLeftView(frame.get()); }
    DevListCtrl* SlotList() const { return Slots()->SlotList(); }
    CTopMiddleView* Transfers() const { return GetTopMiddleView(frame.get()); }
    CCJListCtrl* Repository() const { return GetTopRightView(frame.get())->RepositoryList(); }

    /// Connect with the instrument chosen on both sides; true when connected.
    /// The messages it showed are cleared unless `bKeepMessages`.
    bool Connect(bool bKeepMessages = false) {
        OnPortDialog([](CMidiDeviceDlg& dlg) {
            SelectPort(dlg.InputList(), kInstrument);
            SelectPort(dlg.OutputList(), kInstrument);
            dlg.OkButton()->click();
        });
        Middle()->OnConnect();
        if (!bKeepMessages) prompter.entries.clear();
        return velnor::g_bConnected.load() == 1;
    }

    /// Selects exactly the slot rows `rows`.
    void SelectSlots(const QList<int>& rows) {
        SlotList()->clearSelection();
        for (int row : rows) SlotList()->GetItem(row)->setSelected(true);
    }

    /// Writes a song file into the repository and shows it as a selected row.
    QString AddRepositoryFile(const QString& name, const QByteArray& bytes, bool bSelect = true) {
        const QString path = GetRepositoryPath() + name;
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
        const int row = Repository()->InsertItem(Repository()->GetItemCount(), name);
        if (bSelect) Repository()->GetItem(row)->setSelected(true);
        return path;
    }

    velnor::ScriptedPrompter prompter;
    CQtEventPump pump;
    VirtualInstrumentPlatform vi;
    std::unique_ptr<CMainFrame> frame;
};

/// Slot layout for an instrument: `used` slots hold small songs.
inline InstrumentOptions Layout(unsigned nSlots, std::initializer_list<unsigned> used) {
    InstrumentOptions options = InstrumentOptions::Empty(nSlots);
    for (unsigned slot : used) {
        const std::string name = "Song" + std::to_string(slot);
        options.songs.push_back(
            {slot, InstrumentSong{name + ".mid", velnor::instrument::MakeSong(name, {{60}}, 120)}});
    }
    return options;
}

/// A format-0 song at 120 ticks with the track name `name`, of exactly
/// `nBytes` bytes: a song the repository accepts.
inline QByteArray SongBytes(const std::string& name, std::size_t nBytes) {
    const std::vector<std::uint8_t> song = velnor::testing::SongOfLength(nBytes, name);
    return QByteArray(reinterpret_cast<const char*>(song.data()), qsizetype(song.size()));
}

}  // namespace devtest
