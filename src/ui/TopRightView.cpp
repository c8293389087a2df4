#include "ui/TopRightView.h"

#include "common/Prompter.h"
#include "common/Utf8Text.h"
#include "stores/DropFiles.h"
#include "stores/SongConvert.h"
#include "ui/ProgramFolder.h"
#include "ui/RepListCtrl.h"

CTopRightView::CTopRightView(QWidget* parent, const QString& repositoryPath)
    : CFillPane(parent),
      m_strRepositoryPath(repositoryPath.isEmpty() ? GetRepositoryPath() : repositoryPath) {
    setObjectName(QStringLiteral("CTopRightView"));
    if (!m_strRepositoryPath.endsWith('/')) m_strRepositoryPath += '/';
    auto* list = new RepListCtrl(this);
    list->setObjectName(QStringLiteral("103"));
    list->BuildColumns({{5036, 150}, {5035, 100}, {5003, 55}, {5005, 75}, {5006, 110}});
    list->InstallFlatHeader(false);
    list->InitControl();
    list->m_strFolder = m_strRepositoryPath;
    connect(list, &RepListCtrl::refreshList, this, &CTopRightView::RefreshList);
    // The copy runs once the drop has returned to the desktop.
    connect(list, &RepListCtrl::filesDropped, this, &CTopRightView::OnFilesDropped,
            Qt::QueuedConnection);
    SetPaneControl(list);
    RefreshList();
}

CCJListCtrl* CTopRightView::RepositoryList() const {
    return GetListCtrl();
}

RepListCtrl* CTopRightView::GetListCtrl() const {
    return qobject_cast<RepListCtrl*>(PaneControl());
}

void CTopRightView::RefreshList() {
    if (RepListCtrl* list = GetListCtrl()) {
        CWaitAndFreeze freeze(list);
        std::vector<velnor::FileRow> rows =
            velnor::ListRepository(m_strRepositoryPath.toStdString(), CCJShell::SongNames());
        SortByName(rows);
        list->SetRows(rows);
    }
}

void CTopRightView::GetSelectedFiles(std::vector<std::string>& names) {
    names.clear();
    if (RepListCtrl* list = GetListCtrl()) names = list->SelectedNames();
    m_arrSelectedNames = names;
}

namespace {

/// A dropped song's repository name: the whole name upper-cased as Unicode
/// text; a name that is not UTF-8 gets only its letters a-z changed.
std::string UpperCaseSongName(const std::string& name) {
    const QString text = QString::fromStdString(name);
    if (text.toStdString() != name) return velnor::UpperAscii(name);
    return text.toUpper().toStdString();
}

}  // namespace

void CTopRightView::OnFilesDropped(const QStringList& paths) {
    std::vector<std::string> dropped;
    for (const QString& path : paths) dropped.push_back(path.toStdString());
    velnor::Prompter& prompter = velnor::GetPrompter();
    std::vector<velnor::SongToConvert> refused;
    const std::string repository = m_strRepositoryPath.toStdString();
    const bool copied = velnor::CopyDroppedSongs(
        dropped, repository,
        [&](const std::string& sourceFolder, const std::string& sourceName,
            const std::string& targetFolder, const std::string& targetName) {
            return velnor::CopyDroppedSong(sourceFolder, sourceName, targetFolder, targetName,
                                           prompter, velnor::NoteSongsToConvert(refused));
        },
        UpperCaseSongName);
    // A converted song gets the name its copy would have had.
    for (velnor::SongToConvert& song : refused)
        song.targetName = UpperCaseSongName(song.sourceName);
    const int converted = velnor::OfferConversion(refused, repository, prompter);
    if (copied || converted > 0) RefreshList();
}

void CTopRightView::ConvertIntoRepository(const QString& sourceFolder,
                                          const std::vector<std::string>& names) {
    std::vector<velnor::SongToConvert> songs;
    for (const std::string& name : names) {
        songs.push_back({sourceFolder.toStdString(), name, velnor::NameAsUtf8(name)});
    }
    if (songs.empty()) return;
    velnor::ConvertSongFiles(songs, m_strRepositoryPath.toStdString(), velnor::GetPrompter());
    RefreshList();
}
