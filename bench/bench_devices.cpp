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

#include "ConnectThroughTheDialog.h"
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

/// A song of at most `nBytes` bytes, as near as whole chords come: padding
/// after the track would make it a file Download refuses.
QByteArray MakeSongFile(std::size_t nBytes) {
    std::vector<std::vector<std::uint8_t>> chords;
    for (std::size_t i = 0; i < nBytes / 8; ++i) chords.push_back({std::uint8_t(48 + i % 24)});
    vi::Bytes song = vi::MakeSong("Bench", chords, 60);
    while (song.size() > nBytes && !chords.empty()) {
        chords.resize(chords.size() - (song.size() - nBytes) / 8 - 1);
        song = vi::MakeSong("Bench", chords, 60);
    }
    return QByteArray(reinterpret_cast<const char*>(song.data()), qsizetype(song.size()));
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

/// The song file in the repository, selected, and slot 5 as the target.
bool PrepareDownload(CMainFrame& frame, const QByteArray& song) {
    QFile file(GetRepositoryPath() + "Bench.mid");
    if (!file.open(QIODevice::WriteOnly) || file.write(song) != song.size()) return false;
    file.close();
    CCJListCtrl* repository = GetTopRightView(&frame)->RepositoryList();
    repository->DeleteAllItems();
    repository->GetItem(repository->InsertItem(0, QStringLiteral("Bench.mid")))->setSelected(true);
    DevListCtrl* slotList = GetTopLeftView(&frame)->SlotList();
    slotList->clearSelection();
    slotList->GetItem(5)->setSelected(true);
    return true;
}

struct Measurement {
    std::vector<Clock::time_point> ticks;        ///< the 5 ms timer, with start and end
    double wall = 0, processCpu = 0, uiCpu = 0;  ///< seconds
    int steps = 0;
    PaintCounter painter;
};

/// Runs the Download command while a 5 ms timer timestamps its ticks.
void MeasureDownload(QApplication& app, CMainFrame& frame, GrabbingPrompter& prompter,
                     const Options& options, Measurement& m) {
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&m] { m.ticks.push_back(Clock::now()); });
    CXProgressCtrl* bar = GetTopMiddleView(&frame)->ProgressCtrl();
    bool bGrabbedMid = false;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        ++m.steps;
        if (!options.grabDir.isEmpty() && !bGrabbedMid && value * 2 >= bar->maximum()) {
            bGrabbedMid = frame.grab().save(options.grabDir + "/download-mid.png");
        }
    });
    if (!options.grabDir.isEmpty()) {
        QDir().mkpath(options.grabDir);
        prompter.onSuccess = [&] { frame.grab().save(options.grabDir + "/download-success.png"); };
    }
    app.installEventFilter(&m.painter);
    prompter.entries.clear();
    ticker.start(5);
    const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double ui0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const Clock::time_point t0 = Clock::now();
    m.ticks.push_back(t0);
    GetTopMiddleView(&frame)->OnDownload();
    const Clock::time_point t1 = Clock::now();
    m.processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
    m.uiCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - ui0;
    ticker.stop();
    m.ticks.push_back(t1);
    m.wall = Ms(t1 - t0) / 1000.0;
    app.removeEventFilter(&m.painter);
    prompter.onSuccess = nullptr;
    if (!options.grabDir.isEmpty()) frame.grab().save(options.grabDir + "/download-after.png");
}

void Report(const Options& options, const Measurement& m, const QByteArray& song,
            const std::string& result, bool bStored) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < m.ticks.size(); ++i)
        gaps.push_back(Ms(m.ticks[i] - m.ticks[i - 1]));
    std::sort(gaps.begin(), gaps.end());
    const auto minimum = vi::MinimumDownloadTime(options.link, std::uint32_t(song.size()));
    std::printf("link %s, song %lld bytes, result: %s, stored: %s\n", vi::LinkName(options.link),
                static_cast<long long>(song.size()), result.c_str(), bStored ? "yes" : "NO");
    std::printf("wall %.3f s (link minimum %.3f s), progress steps %d\n", m.wall,
                double(minimum.count()) / 1e6, m.steps);
    std::printf("UI event gaps (5 ms timer): %zu ticks, median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                m.ticks.size(), gaps[gaps.size() / 2], gaps[gaps.size() * 99 / 100], gaps.back());
    std::printf("paint events: %d (", m.painter.total);
    for (const auto& [name, count] : m.painter.counts) {
        std::printf(" %s %d", name.toLatin1().constData(), count);
    }
    std::printf(" )\n");
    std::printf("CPU: process %.1f%% of wall, UI thread %.1f%% of wall\n",
                100.0 * m.processCpu / m.wall, 100.0 * m.uiCpu / m.wall);
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
    const QByteArray song = MakeSongFile(options.bytes);
    if (velnor::g_bConnected.load() != 1 || !PrepareDownload(*frame, song)) {
        std::fprintf(stderr, "could not connect to the virtual instrument or write the song\n");
        return 1;
    }
    Measurement m;
    MeasureDownload(app, *frame, prompter, options, m);
    const auto slotsNow = instrument.Slots();
    const bool bStored =
        slotsNow.size() > 5 && slotsNow[5] && slotsNow[5]->data.size() == std::size_t(song.size());
    Report(options, m, song, prompter.Texts().empty() ? "(none)" : prompter.Texts().front(),
           bStored);

    frame.reset();
    velnor::CMidiDevice::SetPlatform(nullptr);
    velnor::SetPrompter(nullptr);
    velnor::SetEventPump(nullptr);
    return bStored ? 0 : 1;
}
