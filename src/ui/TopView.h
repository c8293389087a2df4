#pragma once

#include <QWidget>

class CDisabledCSplitterWnd;

/// Top row: a one-row splitter of three columns, CTopLeftView (slots),
/// CTopMiddleView (Download) and CTopRightView (repository).
class CTopView : public QWidget {
    Q_OBJECT

  public:
    explicit CTopView(QWidget* parent = nullptr);

    CDisabledCSplitterWnd* Splitter() const { return m_wndSplitter; }

    /// The column rule: only when the view is wider than 300 pixels, the
    /// columns get W/3 - 110, 110 and the rest.
    void ApplyColumnRule();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CDisabledCSplitterWnd* m_wndSplitter;
};
