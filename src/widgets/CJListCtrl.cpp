#include "widgets/CJListCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QToolTip>
#include <algorithm>

#include "widgets/CJFlatHeaderCtrl.h"
#include "widgets/StringTable.h"

QSize CCJListItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (opt.features & QStyleOptionViewItem::HasDecoration) return size;
    // Measure the row as if it had an icon.
    opt.features |= QStyleOptionViewItem::HasDecoration;
    opt.decorationSize = option.decorationSize;
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const QSize withIcon = style->sizeFromContents(QStyle::CT_ItemViewItem, &opt, QSize(), widget);
    size.setHeight(std::max(size.height(), withIcon.height()));
    return size;
}

CCJListCtrl::CCJListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setItemDelegate(new CCJListItemDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);  // header clicks go to SortList()
    // The selection stays visible when the list loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    // The columns keep the widths they were given; the last one does not
    // fill the rest of the pane.
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this, &CCJListCtrl::OnHeaderClicked);
}

void CCJListCtrl::BuildColumns(std::initializer_list<Column> columns) {
    QStringList titles;
    for (const Column& c : columns) titles << LoadResString(c.titleId);
    setColumnCount(int(titles.size()));
    setHeaderLabels(titles);
    int index = 0;
    for (const Column& c : columns) setColumnWidth(index++, c.width);
}

bool CCJListCtrl::InstallFlatHeader(bool bBold) {
    QList<int> widths;
    for (int column = 0; column < columnCount(); ++column) widths << columnWidth(column);
    auto* flat = new CCJFlatHeaderCtrl(this);
    flat->setStretchLastSection(header()->stretchLastSection());
    setHeader(flat);  // the list takes the header and drops the old one
    if (header() != flat) return false;
    for (int column = 0; column < widths.size(); ++column) setColumnWidth(column, widths[column]);
    m_pFlatHeader = flat;
    flat->SetHeaderFont(bBold);
    flat->setSectionsClickable(true);
    connect(flat, &QHeaderView::sectionClicked, this, &CCJListCtrl::OnHeaderClicked);
    return true;
}

void CCJListCtrl::OnHeaderClicked(int column) {
    if (column == m_nSortColumn) {
        m_bSortAscending = !m_bSortAscending;
    } else {
        m_nSortColumn = column;
        m_bSortAscending = true;
    }
    if (m_pFlatHeader) m_pFlatHeader->SetSortMark(m_nSortColumn, m_bSortAscending);
    SortList(m_nSortColumn, m_bSortAscending);
}

void CCJListCtrl::SortList(int, bool) {}

void CCJListCtrl::OnContextMenu(const QPoint&, int) {}

void CCJListCtrl::OnDelete() {}

void CCJListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    // The Menu key: the window places it where the current cell would be, in
    // the wrong coordinates (a row too high); the selection decides instead.
    if (event->reason() == QContextMenuEvent::Keyboard) return OpenMenuAtSelection();
    const QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    OnContextMenu(event->globalPos(), index.isValid() ? index.row() : -1);
}

void CCJListCtrl::keyPressEvent(QKeyEvent* event) {
    // The Menu key itself arrives as a context menu event; Shift+F10 does not.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        event->accept();
        return OpenMenuAtSelection();
    }
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return OnDelete();
    }
    QTreeWidget::keyPressEvent(event);
}

int CCJListCtrl::MenuRow() const {
    if (QTreeWidgetItem* current = currentItem(); current && current->isSelected()) {
        return indexOfTopLevelItem(current);
    }
    const QList<int> rows = GetSelectedRows();
    return rows.isEmpty() ? -1 : rows.front();
}

void CCJListCtrl::OpenMenuAtSelection() {
    const int row = MenuRow();
    QPoint at(0, 0);  // off the rows: the list's top left corner
    if (row >= 0) {
        const QModelIndex index = indexFromItem(topLevelItem(row));
        scrollTo(index);
        at = visualRect(index).center();
        at.setX(std::clamp(at.x(), 0, std::max(0, viewport()->width() - 1)));
    }
    OnContextMenu(viewport()->mapToGlobal(at), row);
}

bool CCJListCtrl::IsTextCut(const QModelIndex& index) const {
    const QAbstractItemDelegate* delegate = itemDelegateForIndex(index);
    if (!delegate || index.data().toString().isEmpty()) return false;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    const int nShown = option.rect.intersected(viewport()->rect()).width();
    return delegate->sizeHint(option, index).width() > nShown;
}

bool CCJListCtrl::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid() && !index.data(Qt::ToolTipRole).isValid()) {
            if (IsTextCut(index)) {
                QToolTip::showText(help->globalPos(), index.data().toString(), viewport(),
                                   visualRect(index));
            } else {
                QToolTip::hideText();
                event->ignore();
            }
            return true;
        }
    }
    return QTreeWidget::viewportEvent(event);
}

QString CCJListCtrl::GetItemText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

void CCJListCtrl::SetItemText(int row, int column, const QString& text) {
    if (QTreeWidgetItem* item = topLevelItem(row)) item->setText(column, text);
}

int CCJListCtrl::InsertItem(int row, const QString& text) {
    row = std::clamp(row, 0, topLevelItemCount());
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    insertTopLevelItem(row, item);
    return row;
}

QList<int> CCJListCtrl::GetSelectedRows() const {
    QList<int> rows;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->isSelected()) rows << row;
    }
    return rows;
}
