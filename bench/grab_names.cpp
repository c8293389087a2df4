// Pictures of names a user can trust, taken from the real window with the
// virtual instrument behind it (run under xvfb-run):   grab_names OUTDIR
//   names-1-download.png  Ωδή.mid (song "Ωδή στη χαρά") downloaded into slot 8
//   names-2-upload.png    slot 8 uploaded back into the repository
//   names-3-again.png     the uploaded file downloaded again, into slot 9
//   names-4-odd-download.png  a repository file whose name is not UTF-8,
//                         downloaded into slot 10
//   names-5-copy-down.png the same file copied down into the browser's folder
//   names-6-deleted.png   and deleted from the repository
// The repository beside the program is emptied first; the browser shows a
// folder of its own under the temporary folder.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <filesystem>

#include "ConnectThroughTheDialog.h"
#include "common/ScriptedPrompter.h"
#include "instrument/InstrumentSongs.h"
#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CMidiDevice.h"
#include "ui/BottomView.h"
#include "ui/DevListCtrl.h"
#include "ui/MainFrame.h"
#include "ui/MiddleView.h"
#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/ProgramPlatform.h"
#include "ui/QtEventPump.h"
#include "ui/RepListCtrl.h"
#include "ui/TopLeftView.h"
#include "ui/TopMiddleView.h"
#include "ui/TopRightView.h"
#include "widgets/CJShell.h"
#include "widgets/CJShellList.h"
#include "widgets/CJShellTree.h"
#include "workflows/Connection.h"

namespace {

namespace fs = std::filesystem;
namespace vi = velnor::instrument;

/// Answers every question Yes and prints every text.
class YesPrompter : public velnor::ScriptedPrompter {
  public:
    velnor::PromptAnswer Ask(const std::string& text, velnor::PromptButtons buttons,
                             const std::string& caption, velnor::PromptIcon icon) override {
        std::printf("  message: %s\n", text.c_str());
        if (buttons != velnor::PromptButtons::Ok) answers.push_back(velnor::PromptAnswer::Yes);
        return ScriptedPrompter::Ask(text, buttons, caption, icon);
    }
    using Prompter::Ask;
};

void Settle(QApplication& app) {
    for (int i = 0; i < 20; ++i) app.processEvents(QEventLoop::AllEvents, 20);
}

void WriteSong(const fs::path& path, const std::string& trackName) {
    const vi::Bytes song = vi::MakeSong(trackName, {{60}, {64}, {67}}, 120);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return;
    std::fwrite(song.data(), 1, song.size(), file);
    std::fclose(file);
}

/// Selects exactly the row of `list` whose file name is `name`.
bool SelectFile(CCJListCtrl* list, const std::string& name) {
    list->clearSelection();
    for (int row = 0; row < list->GetItemCount(); ++row) {
        if (CCJShell::ItemName(list->GetItem(row)) == name) {
            list->GetItem(row)->setSelected(true);
            return true;
        }
    }
    std::fprintf(stderr, "no row %s\n", name.c_str());
    return false;
}

void SelectSlot(DevListCtrl* slotList, int slot) {
    slotList->clearSelection();
    slotList->GetItem(slot)->setSelected(true);
    slotList->scrollToItem(slotList->GetItem(slot));
}

void PrintRows(const char* what, const CCJListCtrl* list) {
    std::printf("%s:", what);
    for (int row = 0; row < list->GetItemCount(); ++row)
        std::printf(" [%s | %s]", qPrintable(list->GetItemText(row, 0)),
                    qPrintable(list->GetItemText(row, 1)));
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    const fs::path repository = QFile::encodeName(GetRepositoryPath()).toStdString();
    fs::remove_all(repository);
    fs::create_directories(repository);
    WriteSong(repository / "\u03A9\u03B4\u03AE.mid",
              "\u03A9\u03B4\u03AE \u03C3\u03C4\u03B7 \u03C7\u03B1\u03C1\u03AC");
    // What an older Velnor wrote for that song's slot.
    const std::string odd = "\xCE\xA9\xCE\xB4\xCE\xAE \xCF\x83\xCF\x84\xCE.mid";
    WriteSong(repository / odd, "Old upload");
    const fs::path desk = fs::temp_directory_path() / "velnor-grab-names";
    fs::remove_all(desk);
    fs::create_directories(desk);

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
    CBottomView* bottom = GetBottomView(frame.get());
    bottom->FolderTree()->SelectFolderPath(QString::fromStdString(desk.string()));
    ConnectThroughTheDialog(GetMiddleView(frame.get()));
    DevListCtrl* slotList = GetTopLeftView(frame.get())->SlotList();
    CTopRightView* repo = GetTopRightView(frame.get());
    CTopMiddleView* transfers = GetTopMiddleView(frame.get());
    if (velnor::g_bConnected.load() != 1 || slotList->GetItemCount() < 11) {
        std::fprintf(stderr, "could not connect to the virtual instrument\n");
        return 1;
    }
    bool bSaved = true;
    auto grab = [&](const char* name) {
        Settle(app);
        bSaved &= frame->grab().save(out + "/" + name);
        std::printf("%s\n", name);
        PrintRows("  slots", slotList);
        PrintRows("  repository", repo->GetListCtrl());
        PrintRows("  browser", bottom->FileList());
    };

    repo->RefreshList();
    SelectFile(repo->GetListCtrl(), "\u03A9\u03B4\u03AE.mid");
    SelectSlot(slotList, 8);
    transfers->OnDownload();
    SelectSlot(slotList, 8);
    grab("names-1-download.png");

    transfers->OnUpload();
    grab("names-2-upload.png");

    const std::string uploaded = slotList->SlotRows()[8].name;
    SelectFile(repo->GetListCtrl(), uploaded);
    SelectSlot(slotList, 9);
    transfers->OnDownload();
    SelectSlot(slotList, 9);
    grab("names-3-again.png");

    SelectFile(repo->GetListCtrl(), odd);
    SelectSlot(slotList, 10);
    transfers->OnDownload();
    SelectSlot(slotList, 10);
    SelectFile(repo->GetListCtrl(), odd);
    grab("names-4-odd-download.png");

    GetMiddleView(frame.get())->OnCopyDown();
    grab("names-5-copy-down.png");

    SelectFile(repo->GetListCtrl(), odd);
    repo->GetListCtrl()->OnDelete();
    grab("names-6-deleted.png");
    std::printf("odd file on disk after the delete: %s\n",
                fs::exists(repository / odd) ? "still there" : "gone");

    frame.reset();
    velnor::CMidiDevice::SetPlatform(nullptr);
    velnor::SetPrompter(nullptr);
    velnor::SetEventPump(nullptr);
    fs::remove_all(desk);
    return bSaved ? 0 : 1;
}
