// Shows the main window with a repository of songs and a browsed folder,
// offscreen, and saves a picture of it: grab_window out.png
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "instrument/InstrumentSongs.h"
#include "ui/BottomView.h"
#include "ui/MainFrame.h"
#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/TopRightView.h"
#include "widgets/CJShellList.h"
#include "widgets/CJShellTree.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const velnor::instrument::Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void FillSongs(const fs::path& folder, const std::vector<std::string>& names, bool upper) {
    fs::create_directories(folder);
    int n = 0;
    for (const std::string& name : names) {
        std::vector<std::vector<std::uint8_t>> chords;
        for (int i = 0; i < 40 + n * 150; ++i) chords.push_back({std::uint8_t(60 + i % 12)});
        std::string file = name.substr(0, name.find(' ')) + ".mid";
        if (upper) {
            for (char& c : file) c = char(std::toupper(static_cast<unsigned char>(c)));
        }
        Write(folder / file, velnor::instrument::MakeSong(name, chords, 120));
        ++n;
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window.png");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    const fs::path music = fs::path(home.path().toStdString()) / "Music";
    FillSongs(music, {"Nocturne in E flat", "Blue Train", "Autumn Leaves", "Entertainer"}, false);
    fs::create_directories(music / "Practice");
    fs::create_directories(music / "Live 2024");
    fs::create_directories(fs::path(home.path().toStdString()) / "Documents");
    std::ofstream(music / "setlist.txt") << "tonight";
    QDir(GetRepositoryPath()).removeRecursively();
    FillSongs(GetRepositoryPath().toStdString(), {"Minuet in G", "Fur Elise", "Canon in D"}, true);

    CMainFrame frame;
    frame.Create();
    frame.show();
    GetBottomView(frame.centralWidget())
        ->FolderTree()
        ->SelectFolderPath(QString::fromStdString(music.string()));
    app.processEvents();
    const bool saved = frame.grab().save(out);
    QDir(GetRepositoryPath()).removeRecursively();
    return saved ? 0 : 1;
}
