#pragma once

#include <QFont>
#include <QHeaderView>

/// A flat column header: button-face sections with thin etched dividers, and
/// a small engraved triangle on the sort column (pointing up for ascending).
/// A title too long for its section ends in an ellipsis before the mark.
class CCJFlatHeaderCtrl : public QHeaderView {
    Q_OBJECT

  public:
    explicit CCJFlatHeaderCtrl(QWidget* parent = nullptr);

    /// The message-box font, bold when asked.
    void SetHeaderFont(bool bBold);

    /// Marks `column` as the sort column; returns the column marked before.
    int SetSortMark(int column, bool bAscending);

    int SortColumn() const { return m_nSortColumn; }
    bool IsSortAscending() const { return m_bSortAscending; }

    /// The text margin and the unit of the mark's size, in pixels.
    static constexpr int kMargin = 6;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void DrawSortMark(QPainter* painter, const QRect& rect) const;

    QFont m_font;
    bool m_bBold = false;
    int m_nSortColumn = -1;
    bool m_bSortAscending = true;
    int m_nPressed = -1;
};
