#pragma once

#include <QPointer>
#include <QString>
#include <QTreeWidget>

class CCJShellList;

/// The browser's folder tree: the user's home folder, then the file system's
/// roots ("/", or the drives on Windows), folders and links to folders only (hidden ones left out).
/// Each branch is filled the first time it opens, sorted by name; an expand button shows only where
/// there are sub-folders. The selected folder is the one the browser list shows. A right click on a
/// folder selects it and opens its menu; on empty space it removes the selection.
class CCJShellTree : public QTreeWidget {
    Q_OBJECT

  public:
    explicit CCJShellTree(QWidget* parent = nullptr);

    /// Rebuilds the tree from its roots and opens the first one. With
    /// `bRebuild`, selections do not drive the list until the next
    /// `SelectFolderPath`.
    void PopulateTree(bool bRebuild);

    /// The selected folder's path; false (and `path` unchanged) when no
    /// folder is selected.
    bool GetSelectedFolderPath(QString& path) const;

    /// Selects the folder `path`, opening the branches on the way; it stops
    /// at the deepest folder found. A missing path shows "Folder not found".
    void SelectFolderPath(const QString& path);

    /// The list that shows the selected folder (null: none).
    void SetFileList(CCJShellList* list);

    /// An item's full path, and whether its branch has been filled.
    static constexpr int kPathRole = Qt::UserRole + 1;
    static constexpr int kFilledRole = Qt::UserRole + 2;

  signals:
    /// "Refresh" of a folder's context menu: rebuild and select the same folder.
    void refreshRequested();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    QTreeWidgetItem* MakeFolderItem(const QString& text, const QString& path, const QIcon& icon,
                                    bool bProbe = true);
    void FillChildren(QTreeWidgetItem* parent);
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnCurrentItemChanged(QTreeWidgetItem* current);
    static QTreeWidgetItem* FindChild(QTreeWidgetItem* parent, const QString& text);

    QPointer<CCJShellList> m_pFileList;
    bool m_bRebuilding = false;
};
