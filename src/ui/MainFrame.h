#pragma once

#include <QIcon>
#include <QMainWindow>

class CDisabledCSplitterWnd;

/// The main window: no menu, tool or status bar; its whole client area is a
/// three-row splitter (CTopView, CMiddleView 60 pixels high, CBottomView)
/// whose bars cannot be dragged. Never smaller than 800 by 600.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    /// Fixes the song icon and makes sure the repository folder exists.
    CMainFrame();
    ~CMainFrame() override;

    /// Builds the splitter rows and every pane; false when a pane is missing.
    bool Create();

    CDisabledCSplitterWnd* Splitter() const { return m_wndSplitter; }
    bool SplashDone() const { return m_bSplashDone; }

    /// The row rule for an outer window height `h`: row 0 and row 1 ideals.
    static int TopRowHeight(int h) { return (2 * h - 120) / 5; }
    static constexpr int kMiddleRowHeight = 60;

    /// What a close during a transfer tells the user.
    static constexpr const char* kClosesAfterTransfer = "Velnor closes when the transfer ends.";

    /// The program icon in all its sizes.
    static QIcon ProgramIcon();

  signals:
    void splashDone();

  protected:
    bool event(QEvent* event) override;
    /// A close while a device command runs waits until it has returned.
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ApplyRowRule();

    CDisabledCSplitterWnd* m_wndSplitter = nullptr;
    bool m_bPanesReady = false;
    bool m_bSplashDone = false;
};
