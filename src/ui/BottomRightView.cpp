#include "ui/BottomRightView.h"

#include <QFileInfo>

#include "ui/MiddleView.h"
#include "ui/PaneLookup.h"
#include "ui/TopRightView.h"
#include "widgets/CJShellList.h"

CBottomRightView::CBottomRightView(QWidget* parent) : CFillPane(parent) {
    setObjectName(QStringLiteral("CBottomRightView"));
    auto* list = new CCJShellList(this);
    list->setObjectName(QStringLiteral("103"));
    list->BuildColumns({{5001, 150}, {5035, 100}, {5003, 55}, {5005, 75}, {5006, 110}});
    list->InstallFlatHeader(false);
    SetPaneControl(list);
    // Songs dragged down from the repository: Copy Down's copy, run after
    // the drop has returned.
    connect(
        list, &CCJShellList::repositorySongsDropped, this,
        [this](const QStringList& paths) {
            std::vector<std::string> names;
            for (const QString& path : paths)
                names.push_back(QFileInfo(path).fileName().toStdString());
            if (CMiddleView* middle = GetMiddleView(this)) middle->CopyDown(names);
        },
        Qt::QueuedConnection);
    connect(list, &CCJShellList::convertRequested, this,
            [this](const QString& folder, const std::vector<std::string>& names) {
                if (CTopRightView* repository = GetTopRightView(this)) {
                    repository->ConvertIntoRepository(folder, names);
                }
            });
}

CCJListCtrl* CBottomRightView::FileList() const {
    return GetListCtrl();
}

CCJShellList* CBottomRightView::GetListCtrl() const {
    return qobject_cast<CCJShellList*>(PaneControl());
}
