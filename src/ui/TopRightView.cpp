#include "ui/TopRightView.h"

#include "widgets/CJListCtrl.h"

CTopRightView::CTopRightView(QWidget* parent) : CFillPane(parent) {
    setObjectName(QStringLiteral("CTopRightView"));
    auto* list = new CCJListCtrl(this);
    list->setObjectName(QStringLiteral("103"));
    list->BuildColumns({{5036, 150}, {5035, 100}, {5003, 55}, {5005, 75}, {5006, 110}});
    list->InstallFlatHeader(false);
    SetPaneControl(list);
}

CCJListCtrl* CTopRightView::RepositoryList() const {
    return qobject_cast<CCJListCtrl*>(PaneControl());
}
