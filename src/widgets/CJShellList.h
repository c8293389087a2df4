#pragma once

#include <QPointer>
#include <QString>
#include <string>
#include <vector>

#include "stores/BrowserRules.h"
#include "widgets/CJListCtrl.h"
#include "widgets/CJShell.h"

class CCJShellTree;
class QMimeData;

/// The browser list: the sub-folders and songs of the folder selected in the
/// folder tree. Header clicks sort (the first click on "Name" descending),
/// the sort holds across reloads; a double-click opens, "Delete" removes
/// files and whole folders, and the name column can be edited to rename.
/// Rows can be dragged onto the repository list; songs dragged from the
/// repository list are handed on with `repositorySongsDropped`.
class CCJShellList : public CCJListCtrl {
    Q_OBJECT

  public:
    explicit CCJShellList(QWidget* parent = nullptr);

    void SetTree(CCJShellTree* tree);
    CCJShellTree* Tree() const;

    /// The browser folder: the tree's selected folder, "" when there is none.
    QString GetFolderPath() const;
    /// The folder the rows come from.
    const QString& Folder() const { return m_strFolder; }

    /// Shows the contents of `folder`.
    void ShowFolder(const QString& folder);
    /// Rebuilds the rows from the folder, in the current sort order.
    void Reload();

    /// The column-0 texts of the selected rows, top row first.
    std::vector<std::string> SelectedNames() const;
    /// A drag of the selected rows' items (the caller owns it).
    QMimeData* SongDragData() const;
    /// "Delete files?" (No by default) for the selected rows, then a reload
    /// (no selection: nothing at all). Also the Delete key.
    void OnDelete() override;
    /// The end of an in-place edit of a name: renames the item, then reloads;
    /// a rename that fails says why and changes nothing.
    /// `oldName` is the item's name as the file system holds it.
    void OnEndLabelEdit(const std::string& oldName, const QString& newName);

  signals:
    /// Songs dragged from the repository list were dropped here: the paths
    /// of their files, in the drag's order.
    void repositorySongsDropped(const QStringList& paths);
    /// "Convert into Repository" was chosen for the selected rows' `names`
    /// in `folder`.
    void convertRequested(const QString& folder, const std::vector<std::string>& names);

  protected:
    void SortList(int column, bool bAscending) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void OnContextMenu(const QPoint& globalPos, int row) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

  private:
    void OnItemDoubleClicked(QTreeWidgetItem* item);
    void ShowRows(bool bKeepSelection);

    std::vector<velnor::FileRow> m_rows;
    velnor::BrowserSortState m_sort;
    CCJShell m_shell;
    QString m_strFolder;
    QPointer<CCJShellTree> m_pTree;
};
