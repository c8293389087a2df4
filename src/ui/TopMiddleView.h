#pragma once

#include <QWidget>

class CGdipButton;
class CXProgressCtrl;

/// Top row, middle column: the Download button and, under it, the progress
/// bar (hidden until a transfer shows it).
class CTopMiddleView : public QWidget {
    Q_OBJECT

  public:
    explicit CTopMiddleView(QWidget* parent = nullptr);

    CGdipButton* DownloadButton() const { return m_btnDownload; }
    CXProgressCtrl* ProgressCtrl() const { return m_wndProgress; }

  signals:
    void downloadClicked();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CGdipButton* m_btnDownload;
    CXProgressCtrl* m_wndProgress;
};
