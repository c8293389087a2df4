#include "widgets/SplashWnd.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "widgets/GdiPlusBitmapResource.h"

void CSplashWnd::EnableSplashScreen(bool bEnable) {
    s_bShowSplash = bEnable;
}

void CSplashWnd::ShowSplashScreen(QWidget* pMainWnd) {
    if (!s_bShowSplash || s_pSplashWnd) return;
    auto* splash = new CSplashWnd(pMainWnd);
    if (!splash->Create()) {
        delete splash;
        return;
    }
    splash->repaint();  // at once, without waiting for the event loop
}

CSplashWnd::CSplashWnd(QWidget* pMainWnd)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_pMainWnd(pMainWnd) {
    s_pSplashWnd = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setObjectName(QStringLiteral("CSplashWnd"));
}

CSplashWnd::~CSplashWnd() {
    if (s_pSplashWnd == this) s_pSplashWnd = nullptr;
}

bool CSplashWnd::Create() {
    CGdiPlusBitmapResource picture;
    if (!picture.LoadFromResource(1011, "BITMAP")) return false;
    m_bitmap = QPixmap::fromImage(picture.Image());
    setFixedSize(m_bitmap.size());
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), m_bitmap.size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    m_nTimer = startTimer(1);
    return true;
}

void CSplashWnd::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, m_bitmap);
}

void CSplashWnd::timerEvent(QTimerEvent*) {
    HideSplashScreen();
}

void CSplashWnd::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void CSplashWnd::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void CSplashWnd::HideSplashScreen() {
    if (m_nTimer) killTimer(m_nTimer);
    m_nTimer = 0;
    QPointer<QWidget> mainWnd = m_pMainWnd;
    s_pSplashWnd = nullptr;
    close();  // deletes this object later
    if (mainWnd) {
        mainWnd->repaint();
        QEvent done(WM_SPLASH_DONE);
        QCoreApplication::sendEvent(mainWnd, &done);
    }
}
