// Download and Upload in the window, with the virtual instrument behind the
// ports: the slot choice rules, the progress bar, the questions before any
// exchange, failures that leave the next slot alone, the two ways to issue
// Upload, and closing the window while a transfer waits for the instrument.
#include <QMenu>

#include "DeviceSideFixture.h"
#include "widgets/SongDrag.h"
#include "widgets/XProgressCtrl.h"

using namespace devtest;
using velnor::PromptAnswer;

namespace {

QByteArray SlotBytes(const VirtualInstrumentPlatform& vi, unsigned slot) {
    const auto all = vi.Slots();
    if (slot >= all.size() || !all[slot]) return {};
    const auto& data = all[slot]->data;
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using Texts = std::vector<std::string>;

}  // namespace

class TestDeviceTransfers : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { m_side.reset(); }

    void downloadChoosesTheSlot_data();
    void downloadChoosesTheSlot();
    void downloadOfTwoFilesAsksForOne();
    void songsDroppedOnASlotGoAsDownloadSendsThem_data();
    void songsDroppedOnASlotGoAsDownloadSendsThem();
    void downloadBeforeConnectDoesNothing();
    void progressOfA2500ByteSong();
    void longTransferRepaintsTheBarPerPercent();
    void uploadOfTwoSlotsAsksNothing();
    void uploadAsksBeforeReplacingAFile();
    void failedUploadIsReportedAndTheNextSlotStillComes();
    void uploadFromTheMenuAndWithCtrlU();
    void closeDuringADownloadWaitsForIt();
    void closeDuringAnUploadLeavesNoPartialFile();

  private:
    DeviceSide& Side() {
        if (!m_side) m_side = std::make_unique<DeviceSide>();
        return *m_side;
    }
    std::unique_ptr<DeviceSide> m_side;
};

void TestDeviceTransfers::downloadChoosesTheSlot_data() {
    QTest::addColumn<unsigned>("count");
    QTest::addColumn<QList<unsigned>>("used");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<int>>("answers");  // 1 Yes, 0 No
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("target");  // -1: nothing sent

    const QString ok = QStringLiteral("Download successfully!");
    const QString pick = QStringLiteral("Select slot first!");
    const QString use = QStringLiteral("Using empty slot?");
    QTest::newRow("slot 3 free") << 6u << QList<unsigned>{0, 1, 2} << QList<int>{3} << QList<int>{}
                                 << QStringList{ok} << 3;
    QTest::newRow("slots 1 and 4, Yes") << 6u << QList<unsigned>{0, 4} << QList<int>{1, 4}
                                        << QList<int>{1} << QStringList{"Overwrite?", ok} << 1;
    QTest::newRow("slots 1 and 4, No") << 6u << QList<unsigned>{0, 4} << QList<int>{1, 4}
                                       << QList<int>{0} << QStringList{"Overwrite?"} << -1;
    QTest::newRow("one free slot, Yes") << 4u << QList<unsigned>{0, 1, 3} << QList<int>{}
                                        << QList<int>{1} << QStringList{use, ok} << 2;
    QTest::newRow("one free slot, No") << 4u << QList<unsigned>{0, 1, 3} << QList<int>{}
                                       << QList<int>{0} << QStringList{use, pick} << -1;
    QTest::newRow("two free slots")
        << 4u << QList<unsigned>{0, 1} << QList<int>{} << QList<int>{} << QStringList{pick} << -1;
    QTest::newRow("no free slot") << 3u << QList<unsigned>{0, 1, 2} << QList<int>{} << QList<int>{1}
                                  << QStringList{use} << -1;
}

void TestDeviceTransfers::downloadChoosesTheSlot() {
    QFETCH(unsigned, count);
    QFETCH(QList<unsigned>, used);
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, texts);
    QFETCH(int, target);

    DeviceSide& side = Side();
    InstrumentOptions options = Layout(count, {});
    for (unsigned slot : used) options.songs.push_back(Layout(count, {slot}).songs.front());
    side.vi.Reset(options);
    QVERIFY(side.Connect());
    const QByteArray song = SongBytes("Tune", 300);
    side.AddRepositoryFile(QStringLiteral("Tune.mid"), song);
    side.SelectSlots(selected);
    for (int answer : answers)
        side.prompter.answers.push_back(answer ? PromptAnswer::Yes : PromptAnswer::No);
    const auto before = side.vi.Slots();

    side.Transfers()->DownloadButton()->click();

    Texts expected;
    for (const QString& text : texts) expected.push_back(text.toStdString());
    QCOMPARE(side.prompter.Texts(), expected);
    QCOMPARE(side.prompter.unscripted, 0);
    const auto after = side.vi.Slots();
    for (unsigned slot = 0; slot < count; ++slot) {
        if (int(slot) == target) continue;
        QCOMPARE(after[slot].has_value(), before[slot].has_value());
    }
    if (target >= 0) {
        QCOMPARE(SlotBytes(side.vi, unsigned(target)), song);
        // The list was read again and shows the instrument's name for it.
        QCOMPARE(side.SlotList()->GetItemText(target, 0), QStringLiteral("Tune.mid"));
    }
    QVERIFY(side.Transfers()->ProgressCtrl()->isHidden());
}

void TestDeviceTransfers::downloadOfTwoFilesAsksForOne() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    side.AddRepositoryFile(QStringLiteral("A.mid"), SongBytes("A", 100));
    side.AddRepositoryFile(QStringLiteral("B.mid"), SongBytes("B", 100));
    side.SelectSlots({3});
    const auto nBefore = side.vi.MessagesReceived().size();
    side.Transfers()->OnDownload();
    QCOMPARE(side.prompter.Texts(), Texts{"Select one file to download!"});
    QCOMPARE(side.vi.MessagesReceived().size(), nBefore);
}

void TestDeviceTransfers::songsDroppedOnASlotGoAsDownloadSendsThem_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("slot");
    QTest::addColumn<QList<int>>("answers");  // 1 Yes, 0 No
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("sent");

    const QString ok = QStringLiteral("Download successfully!");
    QTest::newRow("free slot 3") << QStringList{"Tune.mid"} << 3 << QList<int>{} << QStringList{ok}
                                 << true;
    QTest::newRow("slot 1 holds a song, Yes")
        << QStringList{"Tune.mid"} << 1 << QList<int>{1} << QStringList{"Overwrite?", ok} << true;
    QTest::newRow("slot 1 holds a song, No")
        << QStringList{"Tune.mid"} << 1 << QList<int>{0} << QStringList{"Overwrite?"} << false;
    QTest::newRow("two songs") << QStringList{"Tune.mid", "Other.mid"} << 3 << QList<int>{}
                               << QStringList{"Select one file to download!"} << false;
}

void TestDeviceTransfers::songsDroppedOnASlotGoAsDownloadSendsThem() {
    QFETCH(QStringList, files);
    QFETCH(int, slot);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, texts);
    QFETCH(bool, sent);

    DeviceSide& side = Side();
    side.vi.Reset(Layout(6, {0, 1, 2}));
    QVERIFY(side.Connect());
    const QByteArray song = SongBytes("Tune", 300);
    for (const QString& file : files) side.AddRepositoryFile(file, song, false);
    side.SelectSlots({4});  // the drop chooses the slot, not an earlier click
    for (int answer : answers)
        side.prompter.answers.push_back(answer ? PromptAnswer::Yes : PromptAnswer::No);
    const QByteArray before = SlotBytes(side.vi, unsigned(slot));

    // The songs dragged from the repository list and let go over the slot.
    const std::unique_ptr<QMimeData> drag(
        MakeSongDrag(GetRepositoryPath(), files, SongDragOrigin::Repository));
    DevListCtrl* list = side.SlotList();
    const QPoint at = list->visualItemRect(list->GetItem(slot)).center();
    QDragEnterEvent enter(at, Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &move);
    QVERIFY(move.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, drag.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(side.prompter.entries.empty());  // the Download waits until the drop has returned

    QTRY_VERIFY(!side.prompter.entries.empty());
    Texts expected;
    for (const QString& text : texts) expected.push_back(text.toStdString());
    QCOMPARE(side.prompter.Texts(), expected);
    QCOMPARE(side.prompter.unscripted, 0);
    QCOMPARE(SlotBytes(side.vi, unsigned(slot)), sent ? song : before);
    QVERIFY(SlotBytes(side.vi, 4).isEmpty());
    // Without a transfer the list was not read again: the slot stays chosen.
    if (!sent) QCOMPARE(side.Slots()->SelectedSlots(), std::vector<int>{slot});
}

void TestDeviceTransfers::downloadBeforeConnectDoesNothing() {
    DeviceSide& side = Side();
    side.AddRepositoryFile(QStringLiteral("A.mid"), SongBytes("A", 100));
    side.Transfers()->OnDownload();
    side.Transfers()->OnUpload();
    QVERIFY(side.prompter.entries.empty());
    QVERIFY(side.vi.MessagesReceived().empty());
    QVERIFY(side.Transfers()->ProgressCtrl()->isHidden());
}

namespace {

/// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

void TestDeviceTransfers::progressOfA2500ByteSong() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    const QByteArray song = SongBytes("Long", 2500);
    QCOMPARE(song.size(), 2500);
    side.AddRepositoryFile(QStringLiteral("Long.mid"), song);
    side.SelectSlots({3});
    CXProgressCtrl* bar = side.Transfers()->ProgressCtrl();
    bar->setRange(0, 100);
    bar->setValue(60);  // where an earlier transfer might have left it
    struct Step {
        int value, maximum;
        bool visible;
        std::size_t shown;  // messages shown so far
    };
    std::vector<Step> steps;
    connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
        steps.push_back({value, bar->maximum(), bar->isVisible(), side.prompter.entries.size()});
    });
    PaintCounter painter;
    bar->installEventFilter(&painter);

    side.Transfers()->OnDownload();

    QCOMPARE(side.prompter.Texts(), Texts{"Download successfully!"});
    QVERIFY(steps.size() > 100);
    QCOMPARE(steps.back().value, 110);             // filled on success...
    QCOMPARE(steps.back().shown, std::size_t(0));  // ...before the message
    int nPrevious = -1;
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        const Step& s = steps[i];
        QCOMPARE(s.maximum, 110);
        if (i == 0) {
            QCOMPARE(s.value, 0);  // the range was set afresh, then the bar shown
        } else if (nPrevious == 109) {
            QCOMPARE(s.value, 107);  // held back below 99 percent at once
        } else {
            QCOMPARE(s.value, nPrevious + 1);
        }
        if (i > 0) QVERIFY(s.visible);
        QVERIFY(s.value <= 109);
        nPrevious = s.value;
    }
    QVERIFY(nPrevious == 107 || nPrevious == 108);
    QVERIFY(bar->isHidden());
    QVERIFY2(painter.paints > 1, "the bar was painted while the packets went out");
    QCOMPARE(SlotBytes(side.vi, 3), song);
}

void TestDeviceTransfers::longTransferRepaintsTheBarPerPercent() {
    // A 64 KB song takes some 2,850 steps; painting each one would keep the
    // UI thread busy for nothing.
    QWidget window;
    window.resize(200, 40);
    auto* bar = new CXProgressCtrl(&window);
    bar->setGeometry(10, 10, 94, 20);
    bar->setRange(0, 2851);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    PaintCounter painter;
    bar->installEventFilter(&painter);
    for (int step = 1; step <= 2851; ++step) bar->setValue(step);
    QVERIFY2(painter.paints >= 50, "the percentage still moves");
    QVERIFY2(painter.paints <= 150, "not a repaint per step");
    QCOMPARE(bar->PaintedText(), QStringLiteral("100% "));
}

void TestDeviceTransfers::uploadOfTwoSlotsAsksNothing() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    side.SelectSlots({2, 0});
    side.Transfers()->OnUpload();
    QVERIFY(side.prompter.entries.empty());
    QCOMPARE(FileBytes(GetRepositoryPath() + "Scale.mid"), SlotBytes(side.vi, 0));
    QCOMPARE(FileBytes(GetRepositoryPath() + "Arpeggio.mid"), SlotBytes(side.vi, 2));
    QVERIFY(!QFile::exists(GetRepositoryPath() + "Chord Cycle.mid"));
    // The repository list was read again.
    QCOMPARE(side.Repository()->GetItemCount(), 2);
    QCOMPARE(side.Repository()->GetItemText(0, 0), QStringLiteral("Arpeggio.mid"));
}

void TestDeviceTransfers::uploadAsksBeforeReplacingAFile() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    const QString path = side.AddRepositoryFile(QStringLiteral("Scale.mid"), "old", false);
    side.SelectSlots({0});
    const auto nBefore = side.vi.MessagesReceived().size();
    side.prompter.answers = {PromptAnswer::No};
    side.Transfers()->OnUpload();
    QCOMPARE(side.prompter.Texts(), Texts{"Replace existed file?"});
    QCOMPARE(side.vi.MessagesReceived().size(), nBefore);  // nothing asked of the instrument
    QCOMPARE(FileBytes(path), QByteArray("old"));

    side.prompter.entries.clear();
    side.prompter.answers = {PromptAnswer::Yes};
    side.Transfers()->OnUpload();
    QCOMPARE(side.prompter.Texts(), Texts{"Replace existed file?"});
    QCOMPARE(FileBytes(path), SlotBytes(side.vi, 0));
}

void TestDeviceTransfers::failedUploadIsReportedAndTheNextSlotStillComes() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    std::string error;
    QVERIFY(side.vi.SetFaults("wrong-command:14", error));
    side.SelectSlots({0, 2});
    side.Transfers()->OnUpload();
    QCOMPARE(side.prompter.Texts(), Texts{"Scale.mid  Upload error!"});
    QVERIFY(!QFile::exists(GetRepositoryPath() + "Scale.mid"));
    QCOMPARE(FileBytes(GetRepositoryPath() + "Arpeggio.mid"), SlotBytes(side.vi, 2));
    const QStringList left = QDir(GetRepositoryPath()).entryList(QDir::Files);
    QCOMPARE(left, QStringList{"Arpeggio.mid"});  // no partial file either

    // A read broken off by a bad block, then at once the next command: the
    // instrument must not send the broken-off song for slot 2.
    QFile::remove(GetRepositoryPath() + "Arpeggio.mid");
    side.prompter.entries.clear();
    QVERIFY(side.vi.SetFaults("block-index:0=1", error));
    side.SelectSlots({0});
    side.Transfers()->OnUpload();
    QCOMPARE(side.prompter.Texts(), Texts{"Scale.mid  Upload error!"});
    side.SelectSlots({2});
    side.Transfers()->OnUpload();
    QCOMPARE(FileBytes(GetRepositoryPath() + "Arpeggio.mid"), SlotBytes(side.vi, 2));
}

void TestDeviceTransfers::uploadFromTheMenuAndWithCtrlU() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    side.SelectSlots({0});
    auto menu = side.SlotList()->CreateContextMenu(0);
    QAction* upload = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text().startsWith(QStringLiteral("Upload"))) upload = action;
    }
    QVERIFY(upload);
    QVERIFY(upload->text().endsWith(QStringLiteral("Ctrl+U")));
    upload->trigger();
    QCOMPARE(FileBytes(GetRepositoryPath() + "Scale.mid"), SlotBytes(side.vi, 0));

    side.SelectSlots({1});
    side.frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(side.frame.get()));
    QTest::keyClick(side.SlotList(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(FileBytes(GetRepositoryPath() + "Chord Cycle.mid"), SlotBytes(side.vi, 1));
    QVERIFY(side.prompter.entries.empty());
}

void TestDeviceTransfers::closeDuringADownloadWaitsForIt() {
    DeviceSide& side = Side();
    QVERIFY(side.Connect());
    side.vi.SetLink(Link::Din);  // about a third of a second on the wire
    const QByteArray song = SongBytes("Slow", 500);
    side.AddRepositoryFile(QStringLiteral("Slow.mid"), song);
    side.SelectSlots({3});
    // The close arrives while the transfer waits for the first reply, with
    // the busy pointer over the window; asking twice tells it once.
    Qt::CursorShape during = Qt::ArrowCursor;
    QMetaObject::invokeMethod(
        side.frame.get(),
        [&] {
            during = side.frame->cursor().shape();
            side.frame->close();
            side.frame->close();
        },
        Qt::QueuedConnection);
    side.Transfers()->OnDownload();
    QCOMPARE(during, Qt::BusyCursor);
    QCOMPARE(side.frame->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(side.frame->isVisible());  // refused while the transfer ran
    QCOMPARE(side.prompter.Texts(),
             (Texts{CMainFrame::kClosesAfterTransfer, "Download successfully!"}));
    QCOMPARE(SlotBytes(side.vi, 3), song);
    QCOMPARE(side.SlotList()->GetItemText(3, 0), QStringLiteral("Slow.mid"));
    QTRY_VERIFY(!side.frame->isVisible());  // and carried out afterwards
}

void TestDeviceTransfers::closeDuringAnUploadLeavesNoPartialFile() {
    DeviceSide& side = Side();
    InstrumentOptions options = InstrumentOptions::Empty(4);
    const QByteArray song = SongBytes("Big", 1500);
    options.songs.push_back(
        {1, InstrumentSong{"Big.mid", velnor::instrument::Bytes(song.begin(), song.end())}});
    side.vi.Reset(options);
    QVERIFY(side.Connect());
    side.vi.SetLink(Link::Din);
    side.SelectSlots({1});
    QMetaObject::invokeMethod(side.frame.get(), &QWidget::close, Qt::QueuedConnection);
    side.Transfers()->OnUpload();
    QVERIFY(side.frame->isVisible());
    QCOMPARE(side.prompter.Texts(), Texts{CMainFrame::kClosesAfterTransfer});
    QCOMPARE(FileBytes(GetRepositoryPath() + "Big.mid"), song);
    QCOMPARE(QDir(GetRepositoryPath()).entryList(QDir::Files), QStringList{"Big.mid"});
    QTRY_VERIFY(!side.frame->isVisible());
}

QTEST_MAIN(TestDeviceTransfers)
#include "test_device_transfers.moc"
