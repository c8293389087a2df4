#pragma once

#include <QStringList>
#include <string>
#include <vector>

#include "widgets/CJListCtrl.h"
#include "widgets/CJShell.h"

class QMimeData;

/// The repository list: one row per song file of the repository folder, in
/// the order the folder gives them. Header clicks move the sort mark only.
/// Files dropped from the desktop are handed to the pane after the drop has
/// returned (`filesDropped`, a queued connection); reloads are asked of the
/// pane with `refreshList` (a direct connection: the reload has happened when
/// the signal returns). Nothing is asked while nothing is connected. Songs
/// dragged from the browser list arrive as a desktop drop does; the selected
/// rows can be dragged out to the browser list.
class RepListCtrl : public CCJListCtrl {
    Q_OBJECT

  public:
    explicit RepListCtrl(QWidget* parent = nullptr);

    /// Takes drops of files from the desktop.
    bool InitControl();

    /// The folder whose files the rows name, ending in "/".
    QString m_strFolder;

    /// Appends a row for the file at `path`; -1 when it is gone.
    int AddFileItem(const QString& path);
    /// Replaces all rows with `rows`, in their order.
    void SetRows(const std::vector<velnor::FileRow>& rows);

    /// The column-0 texts of the selected rows, top row first.
    std::vector<std::string> SelectedNames() const;
    /// A drag of the selected rows' files (the caller owns it).
    QMimeData* SongDragData() const;

    /// "Delete files?" (No by default) for the selected rows, then a reload
    /// (no selection: nothing at all). Also the Delete key.
    void OnDelete() override;
    void OnRefresh() { emit refreshList(); }

  signals:
    /// WM_REFRESH_LIST: reload the list from the folder.
    void refreshList();
    /// WM_FILES_DROPPED: the local paths of a drop, in the desktop's order.
    void filesDropped(const QStringList& paths);

  protected:
    void OnContextMenu(const QPoint& globalPos, int row) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    void OnItemDoubleClicked(QTreeWidgetItem* item);

    CCJShell m_shell;
};
