#include "ui/DevListCtrl.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMenu>

#include "common/Prompter.h"
#include "ui/DeviceMessages.h"
#include "ui/ProgramFolder.h"
#include "ui/Resource.h"
#include "ui/SlotNumberDelegate.h"
#include "widgets/NoByDefault.h"
#include "widgets/SongDrag.h"
#include "workflows/SlotSelection.h"

namespace {

constexpr int ID_DELETE = 32773;
constexpr int ID_REFRESH = 32775;
/// Rides on column 0 of a row: the slot is free (the name is only its text).
constexpr int kFreeRole = Qt::UserRole + 1;

}  // namespace

DevListCtrl::DevListCtrl(QWidget* parent) : CCJListCtrl(parent) {
    // The rows are the instrument's slots: nothing edits them in place.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Musicians pick slots by number: each row shows its own in a gutter.
    setItemDelegateForColumn(0, new CSlotNumberDelegate(this));
}

bool DevListCtrl::InitControl() {
    setIconSize(QSize(16, 16));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    return true;
}

int DevListCtrl::DropRow(const QDropEvent* event) const {
    if (SongDragOriginOf(event->mimeData()) != SongDragOrigin::Repository) return -1;
    if (SongDragPaths(event->mimeData()).isEmpty()) return -1;
    return indexAt(event->position().toPoint()).row();
}

void DevListCtrl::dragEnterEvent(QDragEnterEvent* event) {
    // Only the repository's songs, and only onto a slot.
    if (SongDragOriginOf(event->mimeData()) != SongDragOrigin::Repository) return event->ignore();
    event->acceptProposedAction();
}

void DevListCtrl::dragMoveEvent(QDragMoveEvent* event) {
    if (DropRow(event) < 0) return event->ignore();
    event->acceptProposedAction();
}

void DevListCtrl::dropEvent(QDropEvent* event) {
    const int row = DropRow(event);
    if (row < 0) return event->ignore();
    event->acceptProposedAction();
    emit repositorySongsDropped(row, SongDragPaths(event->mimeData()));
}

int DevListCtrl::AppendSlotItem(const velnor::SlotEntry& slot) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(slot.name));  // the protocol made it UTF-8
    item->setData(0, Qt::UserRole, QByteArray::fromStdString(slot.name));
    item->setData(0, kFreeRole, slot.bFree);
    if (!slot.bFree) item->setIcon(0, GetSongIcon());
    addTopLevelItem(item);
    const int row = indexOfTopLevelItem(item);
    item->setToolTip(0, tr("Slot %1: %2").arg(row).arg(item->text(0)));
    return row;
}

std::vector<velnor::SlotEntry> DevListCtrl::SlotRows() const {
    std::vector<velnor::SlotEntry> rows;
    rows.reserve(static_cast<std::size_t>(GetItemCount()));
    for (int row = 0; row < GetItemCount(); ++row) {
        const QTreeWidgetItem* item = GetItem(row);
        const QVariant bytes = item->data(0, Qt::UserRole);
        // A row someone else put in carries only its text, and a song.
        rows.push_back({bytes.isValid() ? bytes.toByteArray().toStdString()
                                        : GetItemText(row, 0).toStdString(),
                        item->data(0, kFreeRole).toBool()});
    }
    return rows;
}

std::vector<int> DevListCtrl::SelectedSlots() const {
    const QList<int> selected = GetSelectedRows();
    return std::vector<int>(selected.begin(), selected.end());
}

std::unique_ptr<QMenu> DevListCtrl::CreateContextMenu(int row) {
    auto menu = std::make_unique<QMenu>(this);
    if (row >= 0) {
        menu->addAction(tr("Delete"), this, &DevListCtrl::OnDelete)->setData(ID_DELETE);
    }
    menu->addAction(tr("Refresh"), this, &DevListCtrl::OnRefresh)->setData(ID_REFRESH);
    if (row >= 0) {
        menu->addSeparator();
        // The same command as Ctrl+U in the window.
        menu->addAction(tr("Upload") + QStringLiteral("\tCtrl+U"), this,
                        &DevListCtrl::uploadRequested)
            ->setData(IDC_BTN_UPLOAD);
    }
    return menu;
}

void DevListCtrl::OnContextMenu(const QPoint& globalPos, int row) {
    std::unique_ptr<QMenu> menu = CreateContextMenu(row);
    menu->exec(globalPos);
}

void DevListCtrl::OnDelete() {
    std::function<void(int)> deleteSlot;
    if (m_hNotifyWnd) {
        deleteSlot = [this](int nSlot) {
            CDeviceRequestEvent request(WM_DELETE_SLOT, nSlot);
            if (m_hNotifyWnd) QCoreApplication::sendEvent(m_hNotifyWnd, &request);
        };
    }
    const CNoByDefault noByDefault;
    velnor::DeleteSelectedSlots(velnor::GetPrompter(), SlotRows(), SelectedSlots(), deleteSlot);
}

void DevListCtrl::OnRefresh() {
    if (!m_hNotifyWnd) return;
    CDeviceRequestEvent request(WM_REFRESH_LIST, 0);
    QCoreApplication::sendEvent(m_hNotifyWnd, &request);
}
