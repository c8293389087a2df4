#pragma once

#include <QWidget>

class CDisabledCSplitterWnd;

/// Bottom row: a one-row splitter of two columns, CBottomLeftView (folder
/// tree) and CBottomRightView (file list), one third and two thirds.
class CBottomView : public QWidget {
    Q_OBJECT

  public:
    explicit CBottomView(QWidget* parent = nullptr);

    CDisabledCSplitterWnd* Splitter() const { return m_wndSplitter; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CDisabledCSplitterWnd* m_wndSplitter;
};
