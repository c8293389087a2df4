#include "ui/RepositoryAccess.h"

#include <QDir>
#include <QFile>

#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/TopRightView.h"
#include "widgets/CJListCtrl.h"

// The repository pane still holds a plain list; these three go through it.
// Once the pane has its own GetSelectedFiles, repository path and RefreshList,
// each function below forwards to it in one line.

std::vector<std::string> SelectedRepositoryFiles(const QWidget* from) {
    std::vector<std::string> files;
    const CTopRightView* pane = GetTopRightView(from);
    const CCJListCtrl* list = pane ? pane->RepositoryList() : nullptr;
    if (!list) return files;
    for (int row : list->GetSelectedRows()) {
        files.push_back(QFile::encodeName(list->GetItemText(row, 0)).toStdString());
    }
    return files;
}

std::string RepositoryFolder(const QWidget*) {
    return QFile::encodeName(GetRepositoryPath()).toStdString();
}

void RefreshRepositoryList(const QWidget* from) {
    CTopRightView* pane = GetTopRightView(from);
    CCJListCtrl* list = pane ? pane->RepositoryList() : nullptr;
    if (!list) return;
    list->DeleteAllItems();
    const QStringList songs =
        QDir(GetRepositoryPath()).entryList({QStringLiteral("*.mid")}, QDir::Files, QDir::Name);
    for (const QString& name : songs) list->InsertItem(list->GetItemCount(), name);
}
