#include "ui/RepositoryAccess.h"

#include <QFile>

#include "ui/PaneLookup.h"
#include "ui/ProgramFolder.h"
#include "ui/TopRightView.h"

std::vector<std::string> SelectedRepositoryFiles(const QWidget* from) {
    std::vector<std::string> files;
    if (CTopRightView* pane = GetTopRightView(from)) pane->GetSelectedFiles(files);
    return files;
}

std::string RepositoryFolder(const QWidget* from) {
    const CTopRightView* pane = GetTopRightView(from);
    return QFile::encodeName(pane ? pane->RepositoryPath() : GetRepositoryPath()).toStdString();
}

void RefreshRepositoryList(const QWidget* from) {
    if (CTopRightView* pane = GetTopRightView(from)) pane->RefreshList();
}
