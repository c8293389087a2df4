// Measures the reload of the window's song lists with the song names read:
// the repository pane with 2,000 songs of 20 KB, and the browser list with a
// folder of 10,000 entries (6,000 songs of 20 KB, 3,000 other files, 1,000
// folders). Runs offscreen; prints milliseconds (first reload, then the best
// of the following ones).
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "instrument/InstrumentSongs.h"
#include "ui/RepListCtrl.h"
#include "ui/TopRightView.h"
#include "widgets/CJShellList.h"

namespace fs = std::filesystem;

namespace {

/// A format-0 song of about 20 KB (2,500 notes) named `name`.
velnor::instrument::Bytes Song(const std::string& name) {
    std::vector<std::vector<std::uint8_t>> notes;
    for (int i = 0; i < 2500; ++i) notes.push_back({std::uint8_t(48 + i % 24)});
    return velnor::instrument::MakeSong(name, notes, 60);
}

void Write(const fs::path& path, const velnor::instrument::Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

template <typename Reload>
void Measure(const char* what, int rows, Reload reload) {
    QElapsedTimer timer;
    timer.start();
    reload();
    const double first = double(timer.nsecsElapsed()) / 1e6;
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
        timer.restart();
        reload();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("%s, %d rows: first %.1f ms, best of 5 %.1f ms\n", what, rows, first, best);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir root;
    const fs::path repository = fs::path(root.path().toStdString()) / "Repository";
    const fs::path browser = fs::path(root.path().toStdString()) / "Browser";
    fs::create_directories(repository);
    fs::create_directories(browser);
    const velnor::instrument::Bytes song = Song("Bench Song");
    std::printf("song size %zu bytes\n", song.size());
    for (int i = 0; i < 2000; ++i) Write(repository / ("SONG" + std::to_string(i) + ".MID"), song);
    for (int i = 0; i < 6000; ++i) Write(browser / ("Song " + std::to_string(i) + ".mid"), song);
    for (int i = 0; i < 3000; ++i) std::ofstream(browser / ("note" + std::to_string(i) + ".txt"));
    for (int i = 0; i < 1000; ++i) fs::create_directory(browser / ("Folder" + std::to_string(i)));

    CTopRightView pane(nullptr, QString::fromStdString(repository.string()));
    pane.resize(500, 300);
    pane.show();
    Measure("repository reload", pane.GetListCtrl()->GetItemCount(), [&] { pane.RefreshList(); });
    Measure("  of which core rows + song names", 2000,
            [&] { velnor::ListRepository(repository.string(), CCJShell::SongNames()); });

    // The share of the core: the rows with the song names read, no widgets.
    Measure("  of which core rows + song names", 7000,
            [&] { velnor::ListBrowserFolder(browser.string(), CCJShell::SongNames()); });

    CCJShellList list;
    list.resize(700, 300);
    list.show();
    const QString folder = QString::fromStdString(browser.string());
    Measure("browser reload, 10000 entries", 7000, [&] { list.ShowFolder(folder); });
    std::printf("browser rows: %d\n", list.GetItemCount());
    return 0;
}
