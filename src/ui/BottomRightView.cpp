#include "ui/BottomRightView.h"

#include "widgets/CJShellList.h"

CBottomRightView::CBottomRightView(QWidget* parent) : CFillPane(parent) {
    setObjectName(QStringLiteral("CBottomRightView"));
    auto* list = new CCJShellList(this);
    list->setObjectName(QStringLiteral("103"));
    list->BuildColumns({{5001, 150}, {5035, 100}, {5003, 55}, {5005, 75}, {5006, 110}});
    list->InstallFlatHeader(false);
    SetPaneControl(list);
}

CCJListCtrl* CBottomRightView::FileList() const {
    return GetListCtrl();
}

CCJShellList* CBottomRightView::GetListCtrl() const {
    return qobject_cast<CCJShellList*>(PaneControl());
}
