// SPDX-License-Identifier: Apache-2.0
#include "app/runs/message_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/stop_signals.h"

namespace {

using namespace std::chrono_literals;

TEST(MessageQueue, KeepsOrderAcrossThreadsAndTimesOut) {
    MessageQueue queue;
    MessageQueue::Message message;
    EXPECT_FALSE(queue.WaitFor(message, 10ms));
    std::thread poster([&] {
        for (uintptr_t i = 0; i < 100; ++i) queue.Post(0x602, i);
    });
    for (uintptr_t i = 0; i < 100; ++i) {
        ASSERT_TRUE(queue.WaitFor(message, 2000ms));
        EXPECT_EQ(message.message, 0x602u);
        EXPECT_EQ(message.wParam, i);
    }
    poster.join();
    EXPECT_TRUE(queue.Empty());
    queue.Close();
    EXPECT_FALSE(queue.Wait(message));
}

TEST(SignalWatch, TurnsSigtermIntoAMessage) {
    MessageQueue queue;
    platform::StopSignalWatch watch;
    ASSERT_TRUE(watch.Install(&queue));
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    MessageQueue::Message message;
    ASSERT_TRUE(queue.WaitFor(message, 3000ms));
    EXPECT_EQ(message.message, platform::StopSignalWatch::MESSAGE);
    EXPECT_EQ(message.wParam, static_cast<uintptr_t>(SIGTERM));
    EXPECT_EQ(watch.Received(), SIGTERM);
    watch.Stop();
}

}  // namespace
