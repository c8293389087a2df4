#include "ui/BottomLeftView.h"

#include <QTreeWidget>

CBottomLeftView::CBottomLeftView(QWidget* parent) : CFillPane(parent) {
    setObjectName(QStringLiteral("CBottomLeftView"));
    auto* tree = new QTreeWidget(this);
    tree->setObjectName(QStringLiteral("102"));
    tree->setHeaderHidden(true);
    SetPaneControl(tree);
}

QTreeWidget* CBottomLeftView::FolderTree() const {
    return qobject_cast<QTreeWidget*>(PaneControl());
}
