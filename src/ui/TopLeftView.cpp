#include "ui/TopLeftView.h"

#include "widgets/CJListCtrl.h"

CTopLeftView::CTopLeftView(QWidget* parent) : CFillPane(parent) {
    setObjectName(QStringLiteral("CTopLeftView"));
    auto* list = new CCJListCtrl(this);
    list->setObjectName(QStringLiteral("103"));
    list->BuildColumns({{5037, 150}});
    list->InstallFlatHeader(false);
    SetPaneControl(list);
}

CCJListCtrl* CTopLeftView::SlotList() const {
    return qobject_cast<CCJListCtrl*>(PaneControl());
}
