#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <initializer_list>

#include <QStyledItemDelegate>

class CCJFlatHeaderCtrl;

/// The song lists' item delegate: a row without an icon is as tall as one
/// with an icon of the list's icon size. The lists take every row's height
/// from the first row, so an "Empty" slot at the top must not shrink them
/// all. A delegate set on a song list should derive from this one.
class CCJListItemDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

/// The base of the song lists: a report list (one row per item, several
/// rows selectable, the selection shown even without focus, rows of one
/// height, columns of fixed widths that do not stretch to the edge). Derived lists
/// override SortList() for header clicks, OnContextMenu() for right clicks
/// and OnDelete() for the Delete key. The Menu key and Shift+F10 open the
/// context menu of the selected row at that row; a cell whose text is cut
/// shows the whole text as its tooltip (unless the row gives one of its own).
class CCJListCtrl : public QTreeWidget {
    Q_OBJECT

  public:
    struct Column {
        int titleId;  // string-table number of the title
        int width;    // pixels
    };

    explicit CCJListCtrl(QWidget* parent = nullptr);

    /// Builds the columns from string-table titles and pixel widths.
    void BuildColumns(std::initializer_list<Column> columns);

    /// Replaces the header with the flat one; returns false when it cannot.
    bool InstallFlatHeader(bool bBold);
    CCJFlatHeaderCtrl* FlatHeader() const { return m_pFlatHeader; }

    int SortColumn() const { return m_nSortColumn; }
    bool IsSortAscending() const { return m_bSortAscending; }

    // Row access in the list's own order (row 0 at the top).
    int GetItemCount() const { return topLevelItemCount(); }
    QTreeWidgetItem* GetItem(int row) const { return topLevelItem(row); }
    QString GetItemText(int row, int column) const;
    void SetItemText(int row, int column, const QString& text);
    int InsertItem(int row, const QString& text);  // returns the new row
    void DeleteAllItems() { clear(); }
    /// The selected rows, top row first.
    QList<int> GetSelectedRows() const;

    /// The Delete key; the base does nothing.
    virtual void OnDelete();

  protected:
    /// A left click on a column header, after the sort column and direction
    /// have moved (another column: ascending; the same column: flipped) and
    /// the header shows the mark. The base keeps the rows as they are.
    virtual void SortList(int column, bool bAscending);

    /// A right click at `globalPos`; `row` is -1 off the rows.
    virtual void OnContextMenu(const QPoint& globalPos, int row);

    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

  private:
    void OnHeaderClicked(int column);
    /// The menu a keyboard asks for: the selected row's, at that row.
    void OpenMenuAtSelection();
    /// The row whose menu the keyboard opens: the current row when it is
    /// selected, else the top selected row; -1 without a selection.
    int MenuRow() const;
    /// Whether the cell at `index` is too narrow for its text.
    bool IsTextCut(const QModelIndex& index) const;

    CCJFlatHeaderCtrl* m_pFlatHeader = nullptr;
    int m_nSortColumn = 0;
    bool m_bSortAscending = true;
};
