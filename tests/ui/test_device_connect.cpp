// The Connect command with the port dialog, and the instrument's slot list:
// what the user sees for every outcome of a connect, the dialog's
// preselection and OK rules, Enter and Esc, the list's rows, menu and the
// delete batch.
#include <QHeaderView>
#include <QLabel>
#include <QMenu>

#include "DeviceSideFixture.h"
#include "midi/CompositeMidiPlatform.h"
#include "midi/InstrumentSearch.h"
#include "support/FakeMidiPlatform.h"
#include "support/ScriptedPorts.h"

using namespace devtest;
using velnor::g_bConnected;

namespace {

/// The port dialog over `fake`, filled for the stored pair `in`, `out`.
class FakePortDialog : public CMidiDeviceDlg {
  public:
    FakePortDialog(DeviceSide& side, velnor::testing::FakeMidiPlatform& fake, int in, int out)
        : CMidiDeviceDlg(side.frame.get()), nIn(in), nOut(out) {
        velnor::CMidiDevice::SetPlatform(&fake);
        m_pnInPort = &nIn;
        m_pnOutPort = &nOut;
        FillPortLists();
    }
    int nIn;
    int nOut;
};

}  // namespace

class TestDeviceConnect : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { m_side.reset(); }

    void connectCancelledShowsNothingAndKeepsTheFlag();
    void connectSucceedsAndFillsTheSlotList();
    void connectWithSilentInstrumentIsARequestError();
    void portsThatFailToOpen();
    void listReadFailureIsShownBeforeTheGreeting();
    void connectWhileAnOperationRunsDoesNothing();
    void portDialogListsInDisplayOrderAndPreselects();
    void portDialogWithPortsNamedAlike();
    void portDialogMatchesNamesByTheirBytes();
    void portDialogRefreshShowsTheNewPortSet();
    void portDialogFindSelectsThePairThatAnswers();
    void enterAcceptsWithoutReadingAndEscCancels();
    void headerClickKeepsTheSlotOrder();
    void contextMenuOffersDeleteOnlyOnRows();
    void deleteAsksPerSongAndSkipsEmpty();
    void requestsWhileNotConnectedAreIgnored();
    void programPlatformEndsWithTheInstrument();
    void slotsNamedEmptyInAnyCaseAreSongs();
    void slotNumbersShowBesideTheNames();

  private:
    DeviceSide& Side() {
        if (!m_side) m_side = std::make_unique<DeviceSide>();
        return *m_side;
    }
    std::unique_ptr<DeviceSide> m_side;
};

void TestDeviceConnect::connectCancelledShowsNothingAndKeepsTheFlag() {
    DeviceSide& side = Side();
    OnPortDialog([](CMidiDeviceDlg& dlg) { dlg.CancelButton()->click(); });
    side.Middle()->OnConnect();
    QCOMPARE(g_bConnected.load(), 0);
    QVERIFY(side.prompter.entries.empty());
    QCOMPARE(side.vi.MessagesReceived().size(), size_t(0));
    QCOMPARE(side.Middle()->InPort(), -1);

    // Connected first: a cancel keeps the flag at 1 and the rows, but the
    // dialog closed the ports, so a reload then fails.
    QVERIFY(side.Connect());
    OnPortDialog([](CMidiDeviceDlg& dlg) { dlg.CancelButton()->click(); });
    side.Middle()->OnConnect();
    QCOMPARE(g_bConnected.load(), 1);
    QCOMPARE(side.SlotList()->GetItemCount(), 16);
    QVERIFY(side.prompter.entries.empty());
    side.Slots()->RefreshSlotList();
    QCOMPARE(side.prompter.Texts(), std::vector<std::string>{"Connection error!"});
    QCOMPARE(side.SlotList()->GetItemCount(), 0);
}

void TestDeviceConnect::connectSucceedsAndFillsTheSlotList() {
    DeviceSide& side = Side();
    OnPortDialog([](CMidiDeviceDlg& dlg) {
        QCOMPARE(dlg.windowTitle(), QStringLiteral("MIDI Device"));
        QVERIFY(dlg.width() >= 600 && dlg.height() >= 300);
        QVERIFY(!dlg.OkButton()->autoDefault() && !dlg.OkButton()->isDefault());
        QVERIFY(!dlg.CancelButton()->autoDefault() && !dlg.RefreshButton()->autoDefault());
        QVERIFY(dlg.InputList()->selectedItems().isEmpty());  // nothing stored yet
        SelectPort(dlg.InputList(), kInstrument);
        SelectPort(dlg.OutputList(), kInstrument);
        dlg.OkButton()->click();
    });
    side.Middle()->OnConnect();
    QCOMPARE(g_bConnected.load(), 1);
    QCOMPARE(side.prompter.Texts(),
             std::vector<std::string>{"Velnor Virtual Instrument Connected!"});
    QCOMPARE(side.Middle()->InPort(), 0);  // the instrument's only port
    QCOMPARE(side.Middle()->OutPort(), 0);
    DevListCtrl* list = side.SlotList();
    QCOMPARE(list->GetItemCount(), 16);
    QCOMPARE(list->GetItemText(0, 0), QStringLiteral("Scale.mid"));
    QCOMPARE(list->GetItemText(2, 0), QStringLiteral("Arpeggio.mid"));
    QCOMPARE(list->GetItemText(3, 0), QStringLiteral("Empty"));
    QCOMPARE(list->GetItem(0)->icon(0).isNull(), GetSongIcon().isNull());
    QVERIFY(list->GetItem(3)->icon(0).isNull());
    QCOMPARE(side.Slots()->SlotNames().size(), size_t(16));

    // The next dialog preselects the stored pair.
    OnPortDialog([](CMidiDeviceDlg& dlg) {
        QCOMPARE(dlg.InputList()->selectedItems().size(), 1);
        QCOMPARE(dlg.InputList()->selectedItems().front()->text(), kInstrument);
        QCOMPARE(dlg.OutputList()->selectedItems().front()->text(), kInstrument);
        dlg.CancelButton()->click();
    });
    side.Middle()->OnConnect();
}

void TestDeviceConnect::connectWithSilentInstrumentIsARequestError() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    std::string error;
    QVERIFY(side.vi.SetFaults("silent", error));
    QVERIFY(!side.Connect(true));
    QCOMPARE(g_bConnected.load(), 0);
    QCOMPARE(side.prompter.Texts(), std::vector<std::string>{"Connect request error!"});
    // The rows of the earlier connection stay.
    QCOMPARE(side.SlotList()->GetItemCount(), 16);
}

void TestDeviceConnect::portsThatFailToOpen() {
    DeviceSide& side = Side();
    velnor::testing::FakeMidiPlatform fake;
    velnor::CMidiDevice::SetPlatform(&fake);
    fake.Script("midiInOpen", {velnor::MMSYSERR_ALLOCATED});
    OnPortDialog([](CMidiDeviceDlg& dlg) {
        SelectPort(dlg.InputList(), QStringLiteral("Fake In"));
        SelectPort(dlg.OutputList(), QStringLiteral("Fake Out"));
        dlg.OkButton()->click();
    });
    side.Middle()->OnConnect();
    QCOMPARE(side.prompter.Texts(), std::vector<std::string>{"Device cannot be opened!"});
    QCOMPARE(g_bConnected.load(), 0);
    side.frame.reset();  // release the port layer before the fake goes
}

void TestDeviceConnect::listReadFailureIsShownBeforeTheGreeting() {
    DeviceSide& side = Side();
    std::string error;
    QVERIFY(side.vi.SetFaults("wrong-command:12=15", error));
    QVERIFY(side.Connect(true));
    QCOMPARE(
        side.prompter.Texts(),
        (std::vector<std::string>{"Connection error!", "Velnor Virtual Instrument Connected!"}));
    QCOMPARE(side.SlotList()->GetItemCount(), 0);
}

void TestDeviceConnect::connectWhileAnOperationRunsDoesNothing() {
    DeviceSide& side = Side();
    bool bDialogSeen = false;
    OnPortDialog(
        [&bDialogSeen](CMidiDeviceDlg& dlg) {
            bDialogSeen = true;
            dlg.reject();
        },
        0);
    velnor::CMidiTrans::s_bIdle = false;
    side.Middle()->ConnectButton()->click();
    velnor::CMidiTrans::s_bIdle = true;
    QCoreApplication::processEvents();  // the dialog hook runs once, finding none
    QVERIFY(!bDialogSeen);
    QVERIFY(side.prompter.entries.empty());
}

void TestDeviceConnect::portDialogListsInDisplayOrderAndPreselects() {
    DeviceSide& side = Side();
    velnor::testing::FakeMidiPlatform fake;
    fake.inputNames = {"b synth", "A keys", "a keys"};
    fake.outputNames = {"Out"};
    {
        FakePortDialog dlg(side, fake, 0, 7);  // out 7: a port that is gone
        QStringList shown;
        for (int i = 0; i < dlg.InputList()->count(); ++i)
            shown << dlg.InputList()->item(i)->text();
        QCOMPARE(shown, (QStringList{"A keys", "a keys", "b synth"}));
        QCOMPARE(dlg.InputList()->currentRow(), 2);  // "b synth", identifier 0
        QVERIFY(dlg.OutputList()->selectedItems().isEmpty());

        // OK with the output list unselected keeps the stored output.
        SelectPort(dlg.InputList(), QStringLiteral("a keys"));
        dlg.OkButton()->click();
        QCOMPARE(dlg.nIn, 2);
        QCOMPARE(dlg.nOut, 7);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
    side.frame.reset();
}

void TestDeviceConnect::portDialogWithPortsNamedAlike() {
    DeviceSide& side = Side();
    velnor::testing::FakeMidiPlatform fake;
    fake.outputNames = {"Twin", "Other", "Twin"};
    {
        FakePortDialog dlg(side, fake, -1, 2);
        // Displayed: Other, Twin, Twin; the last "Twin" is marked.
        QCOMPARE(dlg.OutputList()->currentRow(), 2);
        QVERIFY(dlg.OutputList()->item(2)->isSelected());
        dlg.OkButton()->click();
        QCOMPARE(dlg.nOut, 0);  // the lowest identifier of that name
        QCOMPARE(dlg.nIn, -1);
    }
    side.frame.reset();
}

void TestDeviceConnect::portDialogMatchesNamesByTheirBytes() {
    DeviceSide& side = Side();
    velnor::testing::FakeMidiPlatform fake;
    fake.inputNames = {"Synth \xE9", "Synth \xE8"};  // not UTF-8
    {
        FakePortDialog dlg(side, fake, -1, -1);
        QCOMPARE(dlg.InputList()->item(0)->text(), QString::fromLatin1("Synth \xE8"));
        dlg.InputList()->setCurrentRow(0);
        dlg.OkButton()->click();
        QCOMPARE(dlg.nIn, 1);
    }
    side.frame.reset();
}

// Find among a loopback, a silent device, an instrument whose ports carry the
// built-in instrument's name, and the built-in one, which is never tried.
void TestDeviceConnect::portDialogFindSelectsThePairThatAnswers() {
    DeviceSide& side = Side();
    velnor::testing::ScriptedPorts ports({"Midi Through:Port-0", "Keys:out"},
                                         {"Midi Through:Port-0", "Keys:in"});
    ports.Behave(0, velnor::testing::Echo(0));
    InstrumentOptions options = InstrumentOptions::Defaults();
    options.deviceName = "Far Synth";
    VirtualInstrumentPlatform far(options, Link::None);
    velnor::CompositeMidiPlatform system;
    system.Add(ports);
    system.Add(far);
    system.Add(side.vi);
    velnor::CompositeMidiPlatform without;
    without.Add(ports);
    without.Add(side.vi);
    velnor::SetBuiltInInstrument(&side.vi);
    {
        CMidiDeviceDlg dlg(side.frame.get());
        int nIn = -1;
        int nOut = -1;
        dlg.m_pnInPort = &nIn;
        dlg.m_pnOutPort = &nOut;
        velnor::CMidiDevice::SetPlatform(&system);
        dlg.FindButton()->click();
        QCOMPARE(dlg.FoundText()->text(), QStringLiteral("Found: Far Synth"));
        // Displayed: Keys, Midi Through, then the two alike in table order.
        QCOMPARE(dlg.InputList()->currentRow(), 2);
        QCOMPARE(dlg.OutputList()->currentRow(), 2);
        QVERIFY(dlg.OutputList()->item(2)->isSelected());
        QVERIFY(velnor::CMidiTrans::IsIdle());
        dlg.OkButton()->click();
        QCOMPARE(nIn, 2);  // not 3, the built-in instrument of the same name
        QCOMPARE(nOut, 2);

        velnor::CMidiDevice::SetPlatform(&without);
        dlg.FindButton()->click();
        QCOMPARE(dlg.FoundText()->text(), QStringLiteral("No instrument answered."));
        QCOMPARE(ports.StillOpen(), 0);

        // Cancel while the request to the second port waits: the search ends
        // first, every port closes, then the dialog.
        ports.Behave(1, [&dlg](const velnor::testing::Bytes&) {
            QMetaObject::invokeMethod(
                &dlg, [&dlg] { dlg.CancelButton()->click(); }, Qt::QueuedConnection);
            return velnor::testing::Heard{};
        });
        dlg.setResult(QDialog::Accepted);
        dlg.FindButton()->click();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.FoundText()->text(), QString());
        QCOMPARE(ports.StillOpen(), 0);
        QVERIFY(velnor::CMidiTrans::IsIdle());
    }
    velnor::SetBuiltInInstrument(nullptr);
    velnor::CMidiDevice::SetPlatform(&side.vi);
    side.frame.reset();
}

void TestDeviceConnect::portDialogRefreshShowsTheNewPortSet() {
    DeviceSide& side = Side();
    velnor::testing::FakeMidiPlatform fake;
    fake.inputNames = {"In A"};
    {
        FakePortDialog dlg(side, fake, 1, -1);
        QCOMPARE(dlg.InputList()->count(), 1);
        QVERIFY(dlg.InputList()->selectedItems().isEmpty());
        fake.inputNames = {"In A", "In B"};  // plugged in
        dlg.RefreshButton()->click();
        QCOMPARE(dlg.InputList()->count(), 2);
        QCOMPARE(dlg.InputList()->selectedItems().front()->text(), QStringLiteral("In B"));
        QVERIFY(velnor::CMidiTrans::IsIdle());
        QCOMPARE(fake.Calls("midiInGetNumDevs"), 2);
    }
    side.frame.reset();
}

void TestDeviceConnect::enterAcceptsWithoutReadingAndEscCancels() {
    DeviceSide& side = Side();
    // Enter with the list focused: accepted, the stored identifiers untouched
    // although an entry is selected; the ports then cannot be opened.
    OnPortDialog([](CMidiDeviceDlg& dlg) {
        SelectPort(dlg.InputList(), kInstrument);
        SelectPort(dlg.OutputList(), kInstrument);
        dlg.InputList()->setFocus();
        QTest::keyClick(dlg.InputList(), Qt::Key_Return);
    });
    side.Middle()->OnConnect();
    QCOMPARE(side.Middle()->InPort(), -1);
    QCOMPARE(side.prompter.Texts(), std::vector<std::string>{"Device cannot be opened!"});

    // Esc cancels: nothing stored, nothing shown.
    side.prompter.entries.clear();
    OnPortDialog([](CMidiDeviceDlg& dlg) {
        SelectPort(dlg.InputList(), kInstrument);
        QTest::keyClick(dlg.InputList(), Qt::Key_Escape);
    });
    side.Middle()->OnConnect();
    QCOMPARE(side.Middle()->InPort(), -1);
    QVERIFY(side.prompter.entries.empty());

    // Enter on the focused OK button presses it: the choice is read.
    OnPortDialog([](CMidiDeviceDlg& dlg) {
        SelectPort(dlg.InputList(), kInstrument);
        SelectPort(dlg.OutputList(), kInstrument);
        dlg.OkButton()->setFocus();
        QTest::keyClick(dlg.OkButton(), Qt::Key_Return);
    });
    side.Middle()->OnConnect();
    QCOMPARE(side.Middle()->InPort(), 0);
    QCOMPARE(g_bConnected.load(), 1);
}

void TestDeviceConnect::headerClickKeepsTheSlotOrder() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    DevListCtrl* list = side.SlotList();
    const std::vector<velnor::SlotEntry> before = list->SlotRows();
    list->header()->sectionClicked(0);  // as a click on "Device" does
    list->header()->sectionClicked(0);
    QCOMPARE(list->SlotRows(), before);
    QVERIFY(list->IsSortAscending());  // flipped twice
}

void TestDeviceConnect::contextMenuOffersDeleteOnlyOnRows() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    auto texts = [](QMenu& menu) {
        QStringList list;
        for (QAction* action : menu.actions()) {
            if (!action->isSeparator()) list << action->text().section('\t', 0, 0);
        }
        return list;
    };
    auto onRow = side.SlotList()->CreateContextMenu(0);
    QCOMPARE(texts(*onRow), (QStringList{"Delete", "Refresh", "Upload"}));
    auto offRows = side.SlotList()->CreateContextMenu(-1);
    QCOMPARE(texts(*offRows), QStringList{"Refresh"});

    // Refresh through the menu reads the list again.
    const int nBefore = static_cast<int>(side.vi.MessagesReceived().size());
    offRows->actions().front()->trigger();
    QVERIFY(static_cast<int>(side.vi.MessagesReceived().size()) > nBefore);
    QCOMPARE(side.SlotList()->GetItemCount(), 16);
}

void TestDeviceConnect::deleteAsksPerSongAndSkipsEmpty() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    side.SelectSlots({0, 3, 1});
    side.prompter.answers = {velnor::PromptAnswer::Yes, velnor::PromptAnswer::No};
    side.SlotList()->OnDelete();
    QCOMPARE(side.prompter.Texts(),
             (std::vector<std::string>{"Delete Scale.mid?", "Delete Chord Cycle.mid?"}));
    // Slot 0 deleted, slot 1 kept, and the list read again at the end.
    QCOMPARE(side.SlotList()->GetItemText(0, 0), QStringLiteral("Empty"));
    QCOMPARE(side.SlotList()->GetItemText(1, 0), QStringLiteral("Chord Cycle.mid"));
    QVERIFY(!side.vi.Slots()[0].has_value());

    // Only "Empty" rows: no question, but the list is still read again.
    side.prompter.entries.clear();
    side.SelectSlots({0, 5});
    const auto nBefore = side.vi.MessagesReceived().size();
    QTest::keyClick(side.SlotList(), Qt::Key_Delete);
    QVERIFY(side.prompter.entries.empty());
    QVERIFY(side.vi.MessagesReceived().size() > nBefore);
    QCOMPARE(side.SlotList()->GetItemCount(), 16);
}

void TestDeviceConnect::requestsWhileNotConnectedAreIgnored() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    g_bConnected = 0;
    side.SelectSlots({0});
    side.prompter.answers = {velnor::PromptAnswer::Yes};
    const auto nBefore = side.vi.MessagesReceived().size();
    side.SlotList()->OnDelete();  // asks, but the pane does nothing
    side.SlotList()->OnRefresh();
    QCOMPARE(side.vi.MessagesReceived().size(), nBefore);
    QVERIFY(side.vi.Slots()[0].has_value());
    QCOMPARE(side.SlotList()->GetItemCount(), 16);
}

void TestDeviceConnect::programPlatformEndsWithTheInstrument() {
    // Real ports first (none may be there), the virtual instrument last.
    std::unique_ptr<velnor::MidiPlatform> platform = ProgramPlatform();
    const unsigned nIn = platform->midiInGetNumDevs();
    const unsigned nOut = platform->midiOutGetNumDevs();
    QVERIFY(nIn >= 1 && nOut >= 1);
    std::string inName, outName;
    QCOMPARE(platform->midiInGetDevCaps(nIn - 1, inName), velnor::MMSYSERR_NOERROR);
    QCOMPARE(platform->midiOutGetDevCaps(nOut - 1, outName), velnor::MMSYSERR_NOERROR);
    QCOMPARE(QString::fromStdString(inName), kInstrument);
    QCOMPARE(QString::fromStdString(outName), kInstrument);
}

// A slot is free when the instrument gives it no name; "Empty" is also a
// song's possible name.
void TestDeviceConnect::slotsNamedEmptyInAnyCaseAreSongs() {
    DeviceSide& side = Side();
    InstrumentOptions options = Layout(4, {0, 2});
    options.songs[0].second.name = "EMPTY";
    options.songs[1].second.name = "Empty";
    side.vi.Reset(options);
    QVERIFY(side.Connect());
    QCOMPARE(side.SlotList()->GetItemText(0, 0), QStringLiteral("EMPTY"));
    QCOMPARE(side.SlotList()->GetItemText(1, 0), QStringLiteral("Empty"));
    QCOMPARE(side.SlotList()->GetItemText(2, 0), QStringLiteral("Empty"));
    QVERIFY(!GetSongIcon().isNull());
    for (int row : {0, 2}) QVERIFY(!side.SlotList()->GetItem(row)->icon(0).isNull());
    QVERIFY(side.SlotList()->GetItem(1)->icon(0).isNull());

    // Download asks before it replaces the song named Empty.
    side.AddRepositoryFile(QStringLiteral("new.mid"), SongBytes("New", 200));
    side.SelectSlots({2});
    side.prompter.answers = {velnor::PromptAnswer::No};
    side.Transfers()->OnDownload();
    QCOMPARE(side.prompter.Texts(), std::vector<std::string>{"Overwrite?"});
    QCOMPARE(side.vi.Slots()[2]->name, std::string("Empty"));

    // Upload fetches it.
    side.prompter.entries.clear();
    side.Transfers()->OnUpload();
    QVERIFY(side.prompter.entries.empty());
    QVERIFY(QFile::exists(GetRepositoryPath() + "Empty"));

    // Both can be deleted like any song; the free slot asks nothing.
    side.SelectSlots({0, 1, 2});
    side.prompter.answers = {velnor::PromptAnswer::Yes, velnor::PromptAnswer::Yes};
    side.SlotList()->OnDelete();
    QCOMPARE(side.prompter.Texts(), (std::vector<std::string>{"Delete EMPTY?", "Delete Empty?"}));
    QVERIFY(!side.vi.Slots()[0].has_value());
    QVERIFY(!side.vi.Slots()[2].has_value());
    QCOMPARE(side.SlotList()->GetItemText(0, 0), QStringLiteral("Empty"));
}

void TestDeviceConnect::slotNumbersShowBesideTheNames() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    DevListCtrl* list = side.SlotList();
    QCOMPARE(list->GetItemText(3, 0), QStringLiteral("Empty"));
    QCOMPARE(list->GetItem(0)->toolTip(0), QStringLiteral("Slot 0: Scale.mid"));
    QCOMPARE(list->GetItem(13)->toolTip(0), QStringLiteral("Slot 13: Empty"));
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Device"));
    // Rows 3 and 5 hold the same text: they differ in the gutter (their
    // numbers) and nowhere else.
    list->clearSelection();
    list->setCurrentItem(nullptr);
    const QImage image = list->viewport()->grab().toImage();
    const QRect row3 = list->visualItemRect(list->GetItem(3));
    const QRect row5 = list->visualItemRect(list->GetItem(5));
    QVERIFY(image.rect().contains(row5));
    const int gutter = list->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 10;
    auto part = [&](const QRect& row, int from, int to) {
        return image.copy(QRect(row.left() + from, row.top(), to - from, row.height()));
    };
    QVERIFY(part(row3, 0, gutter) != part(row5, 0, gutter));
    QCOMPARE(part(row3, gutter, row3.width()), part(row5, gutter, row5.width()));
}

QTEST_MAIN(TestDeviceConnect)
#include "test_device_connect.moc"
