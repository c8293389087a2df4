#pragma once

// An event pump for tests whose instrument runs on another thread. It sleeps
// like the plain pump until a wake-up or the deadline; when the deadline
// passes without a wake-up it first lets the instrument finish what it has in
// flight (`settle`, which bounds itself generously). A wait therefore runs out
// only once the instrument has nothing more to say, however late a busy
// machine runs its threads: the protocol's time-outs still end every wait the
// instrument leaves unanswered, but a slow machine no longer fails a reply
// that is on its way.
//
// Not for tests that measure a time-out against replies that are late on
// purpose: settling would wait for those replies.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>

#include "common/EventPump.h"

namespace velnor::testing {

class SettlingEventPump : public EventPump {
  public:
    explicit SettlingEventPump(std::function<void()> settle) : m_settle(std::move(settle)) {}

    bool PumpPendingMessages() override { return true; }

    void WaitUntil(Clock::time_point deadline) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool woken = m_cv.wait_until(lock, deadline, [this] { return m_bWoken; });
        m_bWoken = false;
        if (woken) return;
        lock.unlock();
        m_settle();
    }

    void Wake() override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bWoken = true;
        }
        m_cv.notify_all();
    }

  private:
    std::function<void()> m_settle;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bWoken = false;
};

}  // namespace velnor::testing
