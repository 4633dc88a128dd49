// SPDX-License-Identifier: Apache-2.0
// AutoResetEvent: one waiter released per Set, the event resets itself, time-outs end waits.
#include "platform/auto_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

TEST(AutoResetEvent, SetBeforeWaitIsKeptForOneWait) {
    AutoResetEvent event;
    event.Set();
    event.Set();  // a second Set while set changes nothing
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));  // reset itself
}

TEST(AutoResetEvent, ResetClearsAPendingSet) {
    AutoResetEvent event;
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(AutoResetEvent, WaitTimesOutWhenNotSet) {
    AutoResetEvent event;
    auto start = Clock::now();
    EXPECT_FALSE(event.Wait(30));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
}

TEST(AutoResetEvent, SetFromAnotherThreadWakesAnUnlimitedWait) {
    AutoResetEvent event;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.Set();
    });
    EXPECT_TRUE(event.Wait(AutoResetEvent::kInfinite));
    setter.join();
    EXPECT_FALSE(event.Wait(0));
}

TEST(AutoResetEvent, EachSetReleasesOneWaiter) {
    constexpr int kWaiters = 4;
    AutoResetEvent event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i) {
        waiters.emplace_back([&] {
            if (event.Wait(5000)) ++released;
        });
    }
    for (int set = 1; set <= kWaiters; ++set) {
        // Wait until the previous Set has been consumed, so Sets do not merge.
        auto deadline = Clock::now() + std::chrono::seconds(5);
        event.Set();
        while (released.load() < set && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(released.load(), set);
        // No second waiter slips through on the same Set.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(released.load(), set);
    }
    for (auto& waiter : waiters) waiter.join();
    EXPECT_FALSE(event.Wait(0));
}

TEST(AutoResetEvent, HandOverBetweenTwoThreads) {
    // Two events passing a turn back and forth, as the listener and the worker hand over frames.
    AutoResetEvent ready, taken;
    constexpr int kRounds = 2000;
    int shared = 0;
    std::thread producer([&] {
        for (int i = 1; i <= kRounds; ++i) {
            shared = i;
            ready.Set();
            ASSERT_TRUE(taken.Wait(5000));
        }
    });
    int sum = 0;
    for (int i = 1; i <= kRounds; ++i) {
        ASSERT_TRUE(ready.Wait(5000));
        EXPECT_EQ(shared, i);
        sum += shared;
        taken.Set();
    }
    producer.join();
    EXPECT_EQ(sum, kRounds * (kRounds + 1) / 2);
}

}  // namespace
}  // namespace platform
