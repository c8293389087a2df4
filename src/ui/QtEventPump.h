#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>

#include "common/EventPump.h"

class QAbstractEventDispatcher;

/// The window's event pump: a wait sleeps in the UI thread's event
/// dispatcher, so windows keep painting and timers keep firing, until an
/// event, a Wake() from the MIDI thread, or the deadline. Create it on the
/// UI thread. A quit request seen while pumping is remembered and stays
/// pending for the main loop.
class CQtEventPump : public QObject, public velnor::EventPump {
    Q_OBJECT

  public:
    CQtEventPump();
    ~CQtEventPump() override;

    bool PumpPendingMessages() override;
    void WaitUntil(Clock::time_point deadline) override;
    void Wake() override;

    bool QuitRequested() const { return m_bQuit.load(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAbstractEventDispatcher* m_pDispatcher;
    /// Ends a sleep at its deadline; one timer serves every wait.
    QTimer m_deadlineTimer;
    std::atomic<bool> m_bWoken{false};
    std::atomic<bool> m_bQuit{false};
    /// Events delivered on the UI thread so far (UI thread only).
    unsigned m_nEventsSeen = 0;
};
