#include <gtest/gtest.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "common/EventPump.h"
#include "common/PlainEventPump.h"
#include "midi/CMidiDevice.h"
#include "midi/CMidiTrans.h"

using namespace std::chrono_literals;
using namespace velnor;

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// Waiting for the instrument sleeps in the event pump: a wait that runs out
// its whole second costs next to no CPU time.
TEST(Waiting, ATimedOutWaitUsesNoCpu) {
    CMidiTrans::s_nState = TS_CONNECT_WAIT;
    auto start = std::chrono::steady_clock::now();
    double cpuBefore = ThreadCpuMs();
    CMidiTrans::WaitForState(1000, TS_CONNECT_OK);
    double cpu = ThreadCpuMs() - cpuBefore;
    auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("[ figure ] 1000 ms WaitForState: %.3f ms CPU over %.1f ms\n", cpu,
                std::chrono::duration<double, std::milli>(elapsed).count());
    EXPECT_GE(elapsed, 1000ms);
    EXPECT_LT(cpu, 50.0);
    CMidiTrans::s_nState = TS_UNEXPECTED;
}

/// The plain pump, telling when a wait has gone to sleep in it. (A mutex and
/// a condition variable rather than std::atomic::wait, which can miss its
/// notification in MinGW's standard library.)
class SleepSignallingPump : public PlainEventPump {
  public:
    void WaitUntil(Clock::time_point deadline) override {
        {
            std::lock_guard lock(m_mutex);
            m_sleeping = true;
        }
        m_asleep.notify_all();
        PlainEventPump::WaitUntil(deadline);
    }
    void WaitUntilAsleep() {
        std::unique_lock lock(m_mutex);
        m_asleep.wait(lock, [this] { return m_sleeping; });
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_asleep;
    bool m_sleeping = false;
};

// A state change on another thread ends the wait early (the input thread
// wakes the pump after every change); the change comes once the wait sleeps.
TEST(Waiting, AStateChangeEndsTheWait) {
    SleepSignallingPump pump;
    SetEventPump(&pump);
    CMidiTrans::s_nState = TS_DELETE_WAIT;
    auto start = std::chrono::steady_clock::now();
    std::thread instrument([&pump] {
        pump.WaitUntilAsleep();
        CMidiTrans::s_nState = TS_DELETE_OK;
        GetEventPump().Wake();
    });
    CMidiTrans::WaitForState(60000, TS_DELETE_OK);
    instrument.join();
    SetEventPump(nullptr);
    EXPECT_EQ(CMidiTrans::s_nState, TS_DELETE_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
    CMidiTrans::s_nState = TS_UNEXPECTED;
}

}  // namespace
