#include "ui/RepListCtrl.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "common/Prompter.h"
#include "stores/FolderOps.h"

namespace {

QStringList LocalPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) paths << url.toLocalFile();
    }
    return paths;
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
    return true;
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
    for (int row : GetSelectedRows()) names.push_back(GetItemText(row, 0).toStdString());
    return names;
}

void RepListCtrl::OnDelete() {
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
    if (item) CCJShell::OpenFile(m_strFolder + item->text(0));
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
