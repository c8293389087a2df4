#include "widgets/CJShellTree.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileIconProvider>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

#include "common/Prompter.h"
#include "stores/FolderTree.h"
#include "widgets/CJShell.h"
#include "widgets/CJShellList.h"

CCJShellTree::CCJShellTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    QPalette pal = palette();  // the selection stays visible without the focus
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    connect(this, &QTreeWidget::itemExpanded, this, &CCJShellTree::OnItemExpanded);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnCurrentItemChanged(current); });
}

namespace {

// Names in the tree compare as the file system does: exactly, or ignoring
// case on Windows.
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif

// A path from the file system as Qt writes paths: "/" between folders on
// every system ("C:/Users/me" on Windows, where the file system gives
// backslashes), so the list and the commands see one spelling.
QString QtPath(const std::string& path) {
    return QDir::fromNativeSeparators(QString::fromStdString(path));
}

}  // namespace

QTreeWidgetItem* CCJShellTree::MakeFolderItem(const QString& text, const QString& path,
                                              const QIcon& icon, bool bProbe) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setToolTip(0, QDir::toNativeSeparators(path));
    item->setIcon(0, icon);
    item->setData(0, kPathRole, path);
    // A drive is not looked into before it is opened: an empty disc or card
    // drive would keep the window waiting. Opening it finds out.
    item->setChildIndicatorPolicy(!bProbe || velnor::HasSubFolders(path.toStdString())
                                      ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicator);
    return item;
}

void CCJShellTree::PopulateTree(bool bRebuild) {
    m_bRebuilding = bRebuild;
    const bool bWasEnabled = updatesEnabled();
    setUpdatesEnabled(false);
    clear();
    static const QFileIconProvider s_icons;
    QList<QTreeWidgetItem*> roots;
    for (const std::string& root : velnor::FolderTreeRoots()) {
        const QString path = QtPath(root);
        const bool bTop = QDir(path).isRoot();
        roots << MakeFolderItem(
            bTop ? QDir::toNativeSeparators(path) : QDir(path).dirName(), path,
            s_icons.icon(bTop ? QFileIconProvider::Drive : QFileIconProvider::Folder), !bTop);
    }
    addTopLevelItems(roots);
    if (!roots.isEmpty()) roots.front()->setExpanded(true);
    setUpdatesEnabled(bWasEnabled);
}

void CCJShellTree::FillChildren(QTreeWidgetItem* parent) {
    CWaitAndFreeze freeze(this);
    static const QFileIconProvider s_icons;
    const QIcon folderIcon = s_icons.icon(QFileIconProvider::Folder);
    QList<QTreeWidgetItem*> children;
    const QString path = parent->data(0, kPathRole).toString();
    for (const velnor::SubFolder& sub : velnor::ListSubFolders(path.toStdString())) {
        children << MakeFolderItem(QString::fromStdString(sub.name), QtPath(sub.path), folderIcon);
    }
    parent->addChildren(children);
    parent->setData(0, kFilledRole, true);
    // Sub-folders that have gone since the button was drawn take it away.
    parent->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void CCJShellTree::OnItemExpanded(QTreeWidgetItem* item) {
    // A branch is read once; new sub-folders appear after a refresh.
    if (item && !item->data(0, kFilledRole).toBool()) FillChildren(item);
}

void CCJShellTree::SetFileList(CCJShellList* list) {
    m_pFileList = list;
}

void CCJShellTree::OnCurrentItemChanged(QTreeWidgetItem* current) {
    if (!current || m_bRebuilding) return;
    if (m_pFileList) m_pFileList->ShowFolder(current->data(0, kPathRole).toString());
}

bool CCJShellTree::GetSelectedFolderPath(QString& path) const {
    const QTreeWidgetItem* item = currentItem();
    if (!item) return false;
    path = item->data(0, kPathRole).toString();
    return true;
}

QTreeWidgetItem* CCJShellTree::FindChild(QTreeWidgetItem* parent, const QString& text) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0).compare(text, kFileNameCase) == 0) return parent->child(i);
    }
    return nullptr;
}

void CCJShellTree::SelectFolderPath(const QString& path) {
    m_bRebuilding = false;
    const std::optional<velnor::FolderSelection> selection =
        velnor::SplitFolderPath(path.toStdString(), velnor::HomeFolder(), velnor::GetPrompter());
    if (!selection) return;
    QTreeWidgetItem* item = nullptr;
    const QString root = QtPath(selection->root);
    for (int i = 0; i < topLevelItemCount() && !item; ++i) {
        if (topLevelItem(i)->data(0, kPathRole).toString().compare(root, kFileNameCase) == 0) {
            item = topLevelItem(i);
        }
    }
    if (!item) return;
    {
        CWaitAndFreeze freeze(this);
        for (const std::string& component : selection->components) {
            item->setExpanded(true);  // fills the branch the first time
            QTreeWidgetItem* child = FindChild(item, QString::fromStdString(component));
            if (!child) break;  // a hidden or vanished folder: stop above it
            item = child;
        }
    }
    // The list follows the deepest folder found, once.
    if (currentItem() == item) {
        OnCurrentItemChanged(item);
    } else {
        setCurrentItem(item);
    }
    scrollToItem(item);
}

void CCJShellTree::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos()));
    event->accept();
    // On empty space the selection goes and no menu opens; the list keeps
    // the folder it shows.
    setCurrentItem(item);
    if (!item) return;
    const QString path = item->data(0, kPathRole).toString();
    QMenu menu(this);
    QAction* open = menu.addAction(tr("Open in File Manager"));
    QAction* copy = menu.addAction(tr("Copy Path"));
    menu.addSeparator();
    QAction* refresh = menu.addAction(tr("Refresh"));
    const QAction* chosen = menu.exec(event->globalPos());
    if (!chosen) return;
    if (chosen == open) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    } else if (chosen == copy) {
        QGuiApplication::clipboard()->setText(path);
    } else if (chosen == refresh) {
        emit refreshRequested();
    }
}
