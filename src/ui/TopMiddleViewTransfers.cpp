// The transfer commands of the Download pane: Download (computer to
// instrument) and Upload (instrument to computer). The choices are read from
// the slot pane and the repository pane; the workflows do the rest.
#include <QFile>
#include <QFileInfo>

#include "common/Prompter.h"
#include "ui/PaneLookup.h"
#include "ui/ProgressBarAdapter.h"
#include "ui/RepositoryAccess.h"
#include "ui/TopLeftView.h"
#include "ui/TopMiddleView.h"
#include "workflows/Download.h"
#include "workflows/Upload.h"

void CTopMiddleView::OnDownload() {
    RunDownload(SelectedRepositoryFiles(this), RepositoryFolder(this));
}

void CTopMiddleView::DownloadDropped(const QStringList& paths) {
    // The drag names the files as the repository list's rows do.
    std::vector<std::string> files;
    std::string folder = RepositoryFolder(this);
    for (const QString& path : paths) {
        const QFileInfo file(path);
        files.push_back(file.fileName().toStdString());
        folder = QFile::encodeName(file.path() + '/').toStdString();
    }
    RunDownload(files, folder);
}

void CTopMiddleView::RunDownload(const std::vector<std::string>& files, const std::string& folder) {
    velnor::DownloadChoice choice;
    choice.files = files;
    choice.repositoryFolder = folder;
    if (const CTopLeftView* pSlots = GetTopLeftView(this)) {
        choice.slotRows = pSlots->SlotRows();
        choice.selectedSlots = pSlots->SelectedSlots();
    }
    velnor::OnDownload(m_Device, velnor::GetPrompter(), *m_pProgress, choice, [this] {
        if (CTopLeftView* pSlots = GetTopLeftView(this)) pSlots->RefreshSlotList();
    });
}

void CTopMiddleView::OnUpload() {
    std::vector<velnor::SlotEntry> rows;
    std::vector<int> selected;
    if (const CTopLeftView* pSlots = GetTopLeftView(this)) {
        rows = pSlots->SlotRows();
        selected = pSlots->SelectedSlots();
    }
    velnor::OnUpload(m_Device, velnor::GetPrompter(), rows, selected, RepositoryFolder(this),
                     [this] { RefreshRepositoryList(this); });
}

void CTopMiddleView::OnTransferProgress() {
    velnor::OnTransferProgress(*m_pProgress);
}
