#include "ui/QtEventPump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

// Threads: WaitUntil() and PumpPendingMessages() run on the UI thread only.
// Wake() comes from the MIDI input thread; it sets the sticky flag first and
// then wakes the dispatcher (wakeUp() is thread-safe), so a wake-up that
// lands between the flag test and the sleep still ends the sleep at once.

CQtEventPump::CQtEventPump() : m_pDispatcher(QAbstractEventDispatcher::instance()) {
    m_deadlineTimer.setSingleShot(true);
    m_deadlineTimer.setTimerType(Qt::PreciseTimer);
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

CQtEventPump::~CQtEventPump() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

bool CQtEventPump::eventFilter(QObject* watched, QEvent* event) {
    ++m_nEventsSeen;
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance()) {
        m_bQuit.store(true);
    }
    return false;  // the main loop still sees the request
}

bool CQtEventPump::PumpPendingMessages() {
    // Posted events are delivered by processEvents() itself.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !m_bQuit.load();
}

void CQtEventPump::WaitUntil(Clock::time_point deadline) {
    if (m_bWoken.exchange(false)) return;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !m_pDispatcher) return;
    // Events posted since the last look count as events of this wait. The
    // Windows dispatcher hands them out first thing in processEvents() and
    // then sleeps on all the same, so they are handed out here, and one that
    // was delivered ends the wait as it does on other systems.
    const unsigned seen = m_nEventsSeen;
    QCoreApplication::sendPostedEvents();
    if (m_nEventsSeen != seen) return;
    // The one-shot timer is the event that ends the sleep at the deadline.
    m_deadlineTimer.start(left);
    if (!m_bWoken.load()) m_pDispatcher->processEvents(QEventLoop::WaitForMoreEvents);
    m_deadlineTimer.stop();
    m_bWoken.store(false);
}

void CQtEventPump::Wake() {
    m_bWoken.store(true);
    if (m_pDispatcher) m_pDispatcher->wakeUp();
}
