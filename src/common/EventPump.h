#pragma once

#include <chrono>

namespace velnor {

/// How the core waits for the instrument without spinning. A wait is: check
/// the shared state, then WaitUntil() a deadline, then PumpPendingMessages(),
/// then check again. The MIDI input thread calls Wake() after every state
/// change, so a waiter sleeps until there is something to look at.
class EventPump {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~EventPump() = default;

    /// Dispatches every event waiting for this thread. Returns false when a
    /// quit request was seen; it stays pending for the main loop.
    virtual bool PumpPendingMessages() = 0;

    /// Sleeps until Wake() has been called since the last return of
    /// WaitUntil(), an event arrives for this thread, or `deadline` passes.
    virtual void WaitUntil(Clock::time_point deadline) = 0;

    /// Wakes a thread sleeping in WaitUntil(). Safe to call from any thread;
    /// a wake-up that comes before the sleep is not lost.
    virtual void Wake() = 0;
};

/// The process-wide pump; never null (a plain condition-variable pump stands
/// in until the program installs its own).
EventPump& GetEventPump();

/// Installs `pump` as the process-wide pump (null restores the plain one).
/// The caller keeps ownership.
void SetEventPump(EventPump* pump);

}  // namespace velnor
