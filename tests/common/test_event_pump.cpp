#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "common/PlainEventPump.h"

using namespace std::chrono_literals;
using velnor::PlainEventPump;

TEST(PlainEventPump, WaitEndsAtTheDeadlineWithoutAWake) {
    PlainEventPump pump;
    auto start = PlainEventPump::Clock::now();
    pump.WaitUntil(start + 30ms);
    EXPECT_GE(PlainEventPump::Clock::now() - start, 30ms);
}

TEST(PlainEventPump, WakeFromAnotherThreadEndsTheWaitEarly) {
    PlainEventPump pump;
    auto start = PlainEventPump::Clock::now();
    std::thread waker([&] {
        std::this_thread::sleep_for(20ms);
        pump.Wake();
    });
    pump.WaitUntil(start + 10s);
    waker.join();
    EXPECT_LT(PlainEventPump::Clock::now() - start, 5s);
}

TEST(PlainEventPump, WakeBeforeTheWaitIsNotLost) {
    PlainEventPump pump;
    pump.Wake();
    auto start = PlainEventPump::Clock::now();
    pump.WaitUntil(start + 10s);
    EXPECT_LT(PlainEventPump::Clock::now() - start, 5s);
    // The wake-up is consumed: the next wait sleeps to its deadline.
    start = PlainEventPump::Clock::now();
    pump.WaitUntil(start + 20ms);
    EXPECT_GE(PlainEventPump::Clock::now() - start, 20ms);
}
