// SPDX-License-Identifier: Apache-2.0
#include "engine/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/auto_reset_event.h"

namespace {

TEST(WorkerThread, NoThreadHasNoExitCode) {
    CWorkerThread thread;
    uint32_t code = 7;
    EXPECT_FALSE(thread.GetExitCode(code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(thread.WaitForEnd(0));
}

TEST(WorkerThread, StillActiveWhileBodyRunsThenExitCode) {
    platform::AutoResetEvent release;
    CWorkerThread thread;
    ASSERT_TRUE(thread.Start([&] { release.Wait(-1); }, 0));
    uint32_t code = 0;
    ASSERT_TRUE(thread.GetExitCode(code));
    EXPECT_EQ(code, CWorkerThread::STILL_ACTIVE);
    EXPECT_FALSE(thread.WaitForEnd(30));
    release.Set();
    EXPECT_TRUE(thread.WaitForEnd(CWorkerThread::INFINITE_WAIT));
    ASSERT_TRUE(thread.GetExitCode(code));
    EXPECT_EQ(code, 0u);
}

TEST(WorkerThread, OneStartPerObject) {
    CWorkerThread thread;
    std::atomic<int> runs{0};
    ASSERT_TRUE(thread.Start([&] { ++runs; }, 5));
    EXPECT_FALSE(thread.Start([&] { ++runs; }));
    ASSERT_TRUE(thread.WaitForEnd(5000));
    uint32_t code = 0;
    ASSERT_TRUE(thread.GetExitCode(code));
    EXPECT_EQ(code, 5u);
    EXPECT_EQ(runs.load(), 1);
}

TEST(WorkerThread, DestructorWaitsForARunningBody) {
    std::atomic<bool> finished{false};
    {
        CWorkerThread thread;
        ASSERT_TRUE(thread.Start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
        }));
    }
    EXPECT_TRUE(finished.load());
}

}  // namespace
