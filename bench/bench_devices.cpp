// Downloads one song through the window into the virtual instrument and
// measures what the user feels: how long the UI thread goes without handling
// an event (a 5 ms timer whose ticks are timestamped), how much CPU the
// process spends per wall-clock second, and how the progress bar moves.
// With --grab DIR it saves pictures of the window mid-transfer, at the
// success message and afterwards.
#include <time.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/ScriptedPrompter.h"
#include "instrument/LinkModel.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CMidiDevice.h"
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
#include "widgets/XProgressCtrl.h"
#include "workflows/Connection.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace vi = velnor::instrument;

double CpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

/// Counts paint events per widget class while it is installed.
class PaintCounter : public QObject {
  public:
    std::map<QString, int> counts;
    int total = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++counts[QString::fromLatin1(watched->metaObject()->className())];
            ++total;
        }
        return false;
    }
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

/// Answers every question Yes; grabs the window when the success is shown.
class GrabbingPrompter : public velnor::ScriptedPrompter {
  public:
    velnor::PromptAnswer Ask(const std::string& text, velnor::PromptButtons buttons,
                             const std::string& caption, velnor::PromptIcon icon) override {
        if (text == "Download successfully!" && onSuccess) onSuccess();
        if (buttons != velnor::PromptButtons::Ok) answers.push_back(velnor::PromptAnswer::Yes);
        return ScriptedPrompter::Ask(text, buttons, caption, icon);
    }
    using Prompter::Ask;
    std::function<void()> onSuccess;
};

QByteArray MakeSongFile(std::size_t nBytes) {
    std::vector<std::vector<std::uint8_t>> chords;
    for (std::size_t i = 0; i < nBytes / 8; ++i) chords.push_back({std::uint8_t(48 + i % 24)});
    vi::Bytes song = vi::MakeSong("Bench", chords, 60);
    while (song.size() > nBytes && !chords.empty()) {
        chords.resize(chords.size() - (song.size() - nBytes) / 8 - 1);
        song = vi::MakeSong("Bench", chords, 60);
    }
    song.resize(nBytes, 0);
    return QByteArray(reinterpret_cast<const char*>(song.data()), qsizetype(song.size()));
}

void ConnectThroughTheDialog(CMiddleView* middle) {
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

struct Options {
    vi::Link link = vi::Link::Usb;
    std::size_t bytes = 64 * 1024;
    QString grabDir;
};

bool ParseArgs(const QStringList& args, Options& options) {
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--link") {
            const std::optional<vi::Link> link = vi::ParseLink(args[i + 1].toStdString());
            if (!link) return false;
            options.link = *link;
        } else if (args[i] == "--bytes") {
            options.bytes = args[i + 1].toULongLong();
        } else if (args[i] == "--grab") {
            options.grabDir = args[i + 1];
        } else {
            return false;
        }
    }
    return args.size() % 2 == 1 && options.bytes > 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Options options;
    if (!ParseArgs(app.arguments(), options)) {
        std::fprintf(stderr,
                     "usage: bench_devices [--link usb|din|none] [--bytes N] [--grab DIR]\n");
        return 2;
    }
    CQtEventPump pump;
    GrabbingPrompter prompter;
    velnor::SetEventPump(&pump);
    velnor::SetPrompter(&prompter);
    vi::VirtualInstrumentPlatform instrument(vi::InstrumentOptions::Defaults(), options.link);
    auto frame = std::make_unique<CMainFrame>();
    frame->Create();
    frame->show();
    StartPortLayer(&instrument);

    ConnectThroughTheDialog(GetMiddleView(frame.get()));
    if (velnor::g_bConnected.load() != 1) {
        std::fprintf(stderr, "could not connect to the virtual instrument\n");
        return 1;
    }
    const QByteArray song = MakeSongFile(options.bytes);
    {
        QFile file(GetRepositoryPath() + "Bench.mid");
        if (!file.open(QIODevice::WriteOnly) || file.write(song) != song.size()) return 1;
    }
    CCJListCtrl* repository = GetTopRightView(frame.get())->RepositoryList();
    repository->DeleteAllItems();
    repository->GetItem(repository->InsertItem(0, QStringLiteral("Bench.mid")))->setSelected(true);
    DevListCtrl* slotList = GetTopLeftView(frame.get())->SlotList();
    slotList->clearSelection();
    slotList->GetItem(5)->setSelected(true);

    // What the UI thread does while the song goes out.
    std::vector<Clock::time_point> ticks;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ticks.push_back(Clock::now()); });
    CXProgressCtrl* bar = GetTopMiddleView(frame.get())->ProgressCtrl();
    int nSteps = 0;
    bool bGrabbedMid = false;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        ++nSteps;
        if (!options.grabDir.isEmpty() && !bGrabbedMid && value * 2 >= bar->maximum()) {
            bGrabbedMid = frame->grab().save(options.grabDir + "/download-mid.png");
        }
    });
    if (!options.grabDir.isEmpty()) {
        QDir().mkpath(options.grabDir);
        prompter.onSuccess = [&] { frame->grab().save(options.grabDir + "/download-success.png"); };
    }

    PaintCounter painter;
    app.installEventFilter(&painter);
    prompter.entries.clear();
    ticker.start(5);
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double ui0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const Clock::time_point t0 = Clock::now();
    ticks.push_back(t0);
    GetTopMiddleView(frame.get())->OnDownload();
    const Clock::time_point t1 = Clock::now();
    const double cpu1 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double ui1 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    ticker.stop();
    ticks.push_back(t1);
    app.removeEventFilter(&painter);
    if (!options.grabDir.isEmpty()) frame->grab().save(options.grabDir + "/download-after.png");

    std::vector<double> gaps;
    for (std::size_t i = 1; i < ticks.size(); ++i) gaps.push_back(Ms(ticks[i] - ticks[i - 1]));
    std::sort(gaps.begin(), gaps.end());
    const double wall = Ms(t1 - t0) / 1000.0;
    const auto minimum = vi::MinimumDownloadTime(options.link, std::uint32_t(song.size()));
    const auto slotsNow = instrument.Slots();
    const bool bStored =
        slotsNow.size() > 5 && slotsNow[5] && slotsNow[5]->data.size() == std::size_t(song.size());

    std::printf("link %s, song %lld bytes, result: %s, stored: %s\n", vi::LinkName(options.link),
                static_cast<long long>(song.size()),
                prompter.Texts().empty() ? "(none)" : prompter.Texts().front().c_str(),
                bStored ? "yes" : "NO");
    std::printf("wall %.3f s (link minimum %.3f s), progress steps %d\n", wall,
                double(minimum.count()) / 1e6, nSteps);
    std::printf("UI event gaps (5 ms timer): %zu ticks, median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                ticks.size(), gaps[gaps.size() / 2], gaps[gaps.size() * 99 / 100], gaps.back());
    std::printf("paint events: %d (", painter.total);
    for (const auto& [name, count] : painter.counts) {
        std::printf(" %s %d", name.toLatin1().constData(), count);
    }
    std::printf(" )\n");
    std::printf("CPU: process %.1f%% of wall, UI thread %.1f%% of wall\n",
                100.0 * (cpu1 - cpu0) / wall, 100.0 * (ui1 - ui0) / wall);

    frame.reset();
    velnor::CMidiDevice::SetPlatform(nullptr);
    velnor::SetPrompter(nullptr);
    velnor::SetEventPump(nullptr);
    return bStored ? 0 : 1;
}
