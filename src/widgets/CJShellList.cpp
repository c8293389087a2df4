#include "widgets/CJShellList.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QSet>
#include <QStyledItemDelegate>
#include <algorithm>

#include "common/Prompter.h"
#include "stores/FolderOps.h"
#include "widgets/CJShellTree.h"
#include "widgets/NoByDefault.h"
#include "widgets/SongDrag.h"

namespace {

/// Edits of a name never write into the row: the list renames the item once
/// the editor has closed, and the row shows the new name through the reload.
class CRenameDelegate : public QStyledItemDelegate {
  public:
    explicit CRenameDelegate(CCJShellList* list) : QStyledItemDelegate(list), m_pList(list) {}

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) return;
        const std::string oldName = index.data(CCJShell::kNameRole).toByteArray().toStdString();
        const QString newName = line->text();
        CCJShellList* list = m_pList;
        QMetaObject::invokeMethod(
            list, [list, oldName, newName] { list->OnEndLabelEdit(oldName, newName); },
            Qt::QueuedConnection);
    }

  private:
    CCJShellList* m_pList;
};

}  // namespace

CCJShellList::CCJShellList(QWidget* parent) : CCJListCtrl(parent) {
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setItemDelegateForColumn(0, new CRenameDelegate(this));
    connect(this, &QTreeWidget::itemDoubleClicked, this, &CCJShellList::OnItemDoubleClicked);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

QMimeData* CCJShellList::SongDragData() const {
    QStringList names;
    for (const std::string& name : SelectedNames()) names << QString::fromStdString(name);
    return MakeSongDrag(m_strFolder, names, SongDragOrigin::Browser);
}

void CCJShellList::startDrag(Qt::DropActions) {
    if (GetSelectedRows().isEmpty()) return;
    ExecSongDrag(this, SongDragData());
}

void CCJShellList::dragEnterEvent(QDragEnterEvent* event) {
    // Only the repository's songs: they are copied down as Copy Down does.
    if (SongDragOriginOf(event->mimeData()) != SongDragOrigin::Repository) return event->ignore();
    event->acceptProposedAction();
}

void CCJShellList::dragMoveEvent(QDragMoveEvent* event) {
    if (SongDragOriginOf(event->mimeData()) != SongDragOrigin::Repository) return event->ignore();
    event->acceptProposedAction();
}

void CCJShellList::dropEvent(QDropEvent* event) {
    const QStringList paths = SongDragPaths(event->mimeData());
    if (SongDragOriginOf(event->mimeData()) != SongDragOrigin::Repository || paths.isEmpty()) {
        return event->ignore();
    }
    event->acceptProposedAction();
    emit repositorySongsDropped(paths);
}

void CCJShellList::SetTree(CCJShellTree* tree) {
    m_pTree = tree;
}

CCJShellTree* CCJShellList::Tree() const {
    return m_pTree;
}

QString CCJShellList::GetFolderPath() const {
    QString path;
    if (m_pTree) m_pTree->GetSelectedFolderPath(path);
    return path;
}

void CCJShellList::ShowFolder(const QString& folder) {
    m_strFolder = folder;
    Reload();
}

void CCJShellList::Reload() {
    CWaitAndFreeze freeze(this);
    m_rows = velnor::ListBrowserFolder(m_strFolder.toStdString(), CCJShell::SongNames());
    for (velnor::FileRow& row : m_rows) row.typeName = m_shell.TypeName(row).toStdString();
    if (m_sort.HasSorted()) {
        velnor::SortBrowserRows(m_rows, m_sort);
    } else {
        SortByName(m_rows);
    }
    ShowRows(false);
}

void CCJShellList::ShowRows(bool bKeepSelection) {
    QSet<QString> selected;
    if (bKeepSelection) {
        for (int row : GetSelectedRows()) selected.insert(GetItemText(row, 0));
    }
    const bool bWasEnabled = updatesEnabled();
    setUpdatesEnabled(false);
    DeleteAllItems();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(m_rows.size()));
    for (const velnor::FileRow& row : m_rows) {
        QTreeWidgetItem* item = m_shell.MakeItem(row);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        items << item;
    }
    addTopLevelItems(items);
    if (!selected.isEmpty()) {
        for (QTreeWidgetItem* item : items) {
            if (selected.contains(item->text(0))) item->setSelected(true);
        }
    }
    setUpdatesEnabled(bWasEnabled);
}

void CCJShellList::SortList(int column, bool) {
    // The list's own state follows the same rule as the header's mark: the
    // first click on "Name" reverses the initial ascending order.
    m_sort.Click(static_cast<velnor::BrowserColumn>(column));
    velnor::SortBrowserRows(m_rows, m_sort);
    ShowRows(true);
}

std::vector<std::string> CCJShellList::SelectedNames() const {
    std::vector<std::string> names;
    for (int row : GetSelectedRows()) names.push_back(CCJShell::ItemName(GetItem(row)));
    return names;
}

void CCJShellList::OnDelete() {
    const CNoByDefault noByDefault;
    const velnor::DeleteOutcome outcome = velnor::DeleteBrowserEntries(
        m_strFolder.toStdString(), SelectedNames(), velnor::GetPrompter());
    if (velnor::NeedsReload(outcome)) Reload();
}

void CCJShellList::OnEndLabelEdit(const std::string& oldName, const QString& newName) {
    const velnor::RenameResult result =
        velnor::RenameBrowserEntry(m_strFolder.toStdString(), oldName, newName.toStdString());
    if (!result.reload()) {
        velnor::GetPrompter().Show(result.message);
        return;
    }
    Reload();
}

void CCJShellList::OnContextMenu(const QPoint& globalPos, int row) {
    switch (TrackListMenu(this, globalPos, row >= 0, true)) {
        case ID_LIST_DELETE:
            OnDelete();
            break;
        case ID_LIST_CONVERT:
            emit convertRequested(m_strFolder, SelectedNames());
            break;
        case ID_LIST_REFRESH:
            Reload();
            break;
        default:
            break;
    }
}

bool CCJShellList::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Only the name can be edited; F2 anywhere on a row edits its name.
    if (index.isValid() && index.column() != 0) {
        if (trigger != EditKeyPressed) return false;
        return CCJListCtrl::edit(index.siblingAtColumn(0), trigger, event);
    }
    return CCJListCtrl::edit(index, trigger, event);
}

void CCJShellList::OnItemDoubleClicked(QTreeWidgetItem* item) {
    if (!item) return;
    const velnor::OpenDecision decision = velnor::DecideBrowserOpen(
        m_strFolder.toStdString(), CCJShell::ItemName(item),
        item->data(0, CCJShell::kIsFolderRole).toBool(), velnor::GetPrompter());
    switch (decision.action) {
        case velnor::OpenAction::SelectFolder:
            if (m_pTree) m_pTree->SelectFolderPath(QString::fromStdString(decision.path));
            break;
        case velnor::OpenAction::OpenFile:
            CCJShell::OpenFile(decision.path);
            break;
        case velnor::OpenAction::Reload:
            Reload();
            break;
    }
}
