#include "ui/BottomLeftView.h"

#include "ui/BottomView.h"
#include "ui/PaneLookup.h"
#include "widgets/CJShellTree.h"

CBottomLeftView::CBottomLeftView(QWidget* parent) : CFillPane(parent) {
    setObjectName(QStringLiteral("CBottomLeftView"));
    auto* tree = new CCJShellTree(this);
    tree->setObjectName(QStringLiteral("102"));
    connect(tree, &CCJShellTree::refreshRequested, this, [this] {
        if (CBottomView* bottom = GetBottomView(this)) bottom->RefreshBrowser();
    });
    SetPaneControl(tree);
    tree->PopulateTree(false);
    // A musician sees their own files at once: the home folder starts selected.
    if (tree->topLevelItemCount() > 0) tree->setCurrentItem(tree->topLevelItem(0));
}

QTreeWidget* CBottomLeftView::FolderTree() const {
    return GetTreeCtrl();
}

CCJShellTree* CBottomLeftView::GetTreeCtrl() const {
    return qobject_cast<CCJShellTree*>(PaneControl());
}
