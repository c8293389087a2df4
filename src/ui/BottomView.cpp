#include "ui/BottomView.h"

#include "ui/BottomLeftView.h"
#include "ui/BottomRightView.h"
#include "ui/DisabledSplitter.h"
#include "widgets/CJShellList.h"
#include "widgets/CJShellTree.h"

CBottomView::CBottomView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CBottomView"));
    m_wndSplitter = new CDisabledCSplitterWnd(Qt::Horizontal, this);
    m_wndSplitter->addWidget(new CBottomLeftView);
    m_wndSplitter->addWidget(new CBottomRightView);
    m_wndSplitter->setStretchFactor(0, 0);
    m_wndSplitter->setStretchFactor(1, 1);
    // Both panes exist: the tree drives the list from now on, starting with
    // the folder it has selected.
    CCJShellTree* tree = FolderTree();
    CCJShellList* list = FileList();
    if (tree && list) {
        tree->SetFileList(list);
        list->SetTree(tree);
        QString folder;
        if (tree->GetSelectedFolderPath(folder)) list->ShowFolder(folder);
    }
}

CCJShellTree* CBottomView::FolderTree() const {
    auto* left = qobject_cast<CBottomLeftView*>(m_wndSplitter->widget(0));
    return left ? left->GetTreeCtrl() : nullptr;
}

CCJShellList* CBottomView::FileList() const {
    auto* right = qobject_cast<CBottomRightView*>(m_wndSplitter->widget(1));
    return right ? right->GetListCtrl() : nullptr;
}

void CBottomView::RefreshBrowser() {
    CCJShellTree* tree = FolderTree();
    CCJShellList* list = FileList();
    if (!tree || !list) return;
    list->Reload();
    QString folder;
    if (!tree->GetSelectedFolderPath(folder) || folder.isEmpty()) return;
    tree->PopulateTree(true);
    tree->SelectFolderPath(folder);
}

void CBottomView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int W = width();
    m_wndSplitter->setGeometry(0, 0, W, height());
    m_wndSplitter->SetPaneSizes({W / 3, 2 * W / 3}, {0, 0});
}
