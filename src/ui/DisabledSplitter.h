#pragma once

#include <QSplitter>
#include <QSplitterHandle>

/// A splitter whose bars the user cannot move: 4-pixel bars, a 1-pixel
/// border inside, and bars that ignore the mouse and never show a resize
/// cursor. The owner sets the pane sizes itself (SetPaneSizes).
class CDisabledCSplitterWnd : public QSplitter {
    Q_OBJECT

  public:
    static constexpr int kBar = 4;
    static constexpr int kBorder = 1;

    explicit CDisabledCSplitterWnd(Qt::Orientation orientation, QWidget* parent = nullptr);

    /// Lays the panes out from the start with the given ideal sizes (clamped
    /// to their minimums while room is left); the last pane takes whatever
    /// space remains.
    void SetPaneSizes(const QList<int>& ideal, const QList<int>& minimum);

    /// The room the panes share along the splitter (borders and bars off).
    int AvailableLength() const;

  protected:
    QSplitterHandle* createHandle() override;
};

/// A bar of CDisabledCSplitterWnd: drawn, but deaf to the mouse.
class CDisabledSplitterHandle : public QSplitterHandle {
    Q_OBJECT

  public:
    CDisabledSplitterHandle(Qt::Orientation orientation, QSplitter* parent);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};
