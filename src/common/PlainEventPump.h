#pragma once

#include <condition_variable>
#include <mutex>

#include "common/EventPump.h"

namespace velnor {

/// An event pump for threads without a window: there are no events to
/// dispatch, and a wait sleeps on a condition variable until Wake() or the
/// deadline. Serves the core's tests and the command-line tool.
class PlainEventPump : public EventPump {
  public:
    bool PumpPendingMessages() override { return true; }
    void WaitUntil(Clock::time_point deadline) override;
    void Wake() override;

  private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bWoken = false;
};

}  // namespace velnor
