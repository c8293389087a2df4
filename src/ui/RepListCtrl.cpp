#include "ui/RepListCtrl.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "common/Prompter.h"
#include "stores/FolderOps.h"
#include "widgets/NoByDefault.h"
#include "widgets/SongDrag.h"

namespace {

/// The paths of a drop the list takes: files from the desktop or from the
/// browser list; its own rows dragged back onto it are no drop.
QStringList LocalPaths(const QMimeData* mime) {
    if (SongDragOriginOf(mime) == SongDragOrigin::Repository) return {};
    return SongDragPaths(mime);
}

}  // namespace

RepListCtrl::RepListCtrl(QWidget* parent) : CCJListCtrl(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &RepListCtrl::OnItemDoubleClicked);
}

bool RepListCtrl::InitControl() {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragEnabled(true);  // songs go down to the browser by drag too
    return true;
}

QMimeData* RepListCtrl::SongDragData() const {
    QStringList names;
    for (const std::string& name : SelectedNames()) names << QString::fromStdString(name);
    return MakeSongDrag(m_strFolder, names, SongDragOrigin::Repository);
}

void RepListCtrl::startDrag(Qt::DropActions) {
    if (GetSelectedRows().isEmpty()) return;
    ExecSongDrag(this, SongDragData());
}

int RepListCtrl::AddFileItem(const QString& path) {
    const std::optional<velnor::FileRow> row =
        velnor::MakeFileRow(path.toStdString(), CCJShell::SongNames());
    if (!row) return -1;
    addTopLevelItem(m_shell.MakeItem(*row));
    return topLevelItemCount() - 1;
}

void RepListCtrl::SetRows(const std::vector<velnor::FileRow>& rows) {
    DeleteAllItems();
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(rows.size()));
    for (const velnor::FileRow& row : rows) items << m_shell.MakeItem(row);
    addTopLevelItems(items);
}

std::vector<std::string> RepListCtrl::SelectedNames() const {
    std::vector<std::string> names;
    for (int row : GetSelectedRows()) names.push_back(CCJShell::ItemName(GetItem(row)));
    return names;
}

void RepListCtrl::OnDelete() {
    const CNoByDefault noByDefault;
    const velnor::DeleteOutcome outcome = velnor::DeleteRepositoryFiles(
        m_strFolder.toStdString(), SelectedNames(), velnor::GetPrompter());
    if (velnor::NeedsReload(outcome)) emit refreshList();
}

void RepListCtrl::OnContextMenu(const QPoint& globalPos, int row) {
    switch (TrackListMenu(this, globalPos, row >= 0)) {
        case ID_LIST_DELETE:
            OnDelete();
            break;
        case ID_LIST_REFRESH:
            OnRefresh();
            break;
        default:
            break;
    }
}

void RepListCtrl::OnItemDoubleClicked(QTreeWidgetItem* item) {
    if (item) CCJShell::OpenFile(m_strFolder.toStdString() + CCJShell::ItemName(item));
}

void RepListCtrl::dragEnterEvent(QDragEnterEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
    event->acceptProposedAction();
}

void RepListCtrl::dragMoveEvent(QDragMoveEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
    event->acceptProposedAction();
}

void RepListCtrl::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalPaths(event->mimeData());
    if (paths.isEmpty()) return event->ignore();
    event->acceptProposedAction();
    emit filesDropped(paths);
}
