#pragma once

#include <QEvent>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

/// Sent to the main window once the splash has gone (answered by the frame).
inline constexpr QEvent::Type WM_SPLASH_DONE = QEvent::Type(QEvent::User + 1000);

/// The borderless start-up picture, centred on the primary screen, shown while
/// the main window is built. It closes itself on its first timer tick, which
/// comes once the event loop is idle; clicks and keys do not close it earlier.
/// At most one exists; it deletes itself when it closes.
class CSplashWnd : public QWidget {
    Q_OBJECT

  public:
    static void EnableSplashScreen(bool bEnable = true);
    /// Shows the splash if it is enabled and none is up; `pMainWnd` is told
    /// with WM_SPLASH_DONE when it closes. No picture: no splash.
    static void ShowSplashScreen(QWidget* pMainWnd);
    /// The live splash, or null.
    static CSplashWnd* Instance() { return s_pSplashWnd; }

    /// Closes the splash, repaints the main window and tells it.
    void HideSplashScreen();

    ~CSplashWnd() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    explicit CSplashWnd(QWidget* pMainWnd);
    bool Create();

    QPixmap m_bitmap;
    QPointer<QWidget> m_pMainWnd;
    int m_nTimer = 0;

    static inline bool s_bShowSplash = false;
    static inline CSplashWnd* s_pSplashWnd = nullptr;
};
