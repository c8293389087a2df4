#include "widgets/CJListCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
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

void CCJListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    OnContextMenu(event->globalPos(), index.isValid() ? index.row() : -1);
    event->accept();
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
