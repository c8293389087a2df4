#pragma once

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "widgets/CJListCtrl.h"
#include "workflows/Connection.h"

class QMenu;

/// The instrument's slot list: one row per slot in slot order (row index =
/// slot number), each showing the slot's song name or "Empty". It never
/// talks to the instrument itself: Delete and Refresh become requests to the
/// notify window (its pane), Upload and songs dropped from the repository list
/// signals the pane passes on. Header clicks move only the sort mark; the
/// rows keep their order.
class DevListCtrl : public CCJListCtrl, public velnor::SlotListWidget {
    Q_OBJECT

  public:
    explicit DevListCtrl(QWidget* parent = nullptr);

    /// Small icons for the rows, and drops of the repository's songs; always
    /// true here.
    bool InitControl();

    /// Where WM_REFRESH_LIST and WM_DELETE_SLOT go; null sends nothing.
    void SetNotifyWindow(QObject* window) { m_hNotifyWnd = window; }
    QObject* NotifyWindow() const { return m_hNotifyWnd; }

    /// Appends a row for a slot: the song icon, none for a free slot.
    /// Returns the row.
    int AppendSlotItem(const velnor::SlotEntry& slot);

    // velnor::SlotListWidget
    void DeleteAllItems() override { CCJListCtrl::DeleteAllItems(); }
    void AddSlotItem(const velnor::SlotEntry& slot) override { AppendSlotItem(slot); }

    /// The slots as the instrument gave them, in row order.
    std::vector<velnor::SlotEntry> SlotRows() const;
    /// The selected rows, top row first.
    std::vector<int> SelectedSlots() const;

    /// The context menu for a right click on `row` (-1 off the rows):
    /// "Delete", "Refresh" and "Upload" on a row, only "Refresh" off them.
    std::unique_ptr<QMenu> CreateContextMenu(int row);

    /// Asks "Delete <name>?" (No by default) per selected song and requests
    /// each confirmed deletion, then the reload. Also the Delete key.
    void OnDelete() override;
    /// Requests a reload of the list from the instrument.
    void OnRefresh();

  signals:
    /// The Upload entry of the context menu.
    void uploadRequested();
    /// Songs dragged from the repository list were dropped on the row of
    /// `nSlot`: the paths of their files, in the drag's order.
    void repositorySongsDropped(int nSlot, const QStringList& paths);

  protected:
    void OnContextMenu(const QPoint& globalPos, int row) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    /// The row a drop of the repository's songs lands on; -1 for any other
    /// drop and off the rows.
    int DropRow(const QDropEvent* event) const;

    QPointer<QObject> m_hNotifyWnd;
};
