// SPDX-License-Identifier: Apache-2.0
// VEXLOR_TIME_SCALE: read once per process, so each case runs as its own test process with its
// own environment (see CMakeLists.txt) and picks its cases by --gtest_filter.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>

#include "platform/sleep.h"

namespace platform {
namespace {

// VEXLOR_TIME_SCALE unset, empty, or not a positive decimal up to 1000.
TEST(TimeScaleDefault, IsOne) {
    EXPECT_EQ(TimeScale(), 1.0);
    EXPECT_EQ(ScaledMs(100), 100);
    EXPECT_EQ(ScaledMs(1), 1);
    EXPECT_EQ(ScaledMs(0), 0);
    EXPECT_EQ(ScaledMs(-1), -1);  // the no-limit wait stays no limit
    EXPECT_EQ(ScaledMs(INT_MAX), INT_MAX);
}

// VEXLOR_TIME_SCALE=0.01
TEST(TimeScaleFast, ShrinksPausesButNeverToZero) {
    EXPECT_DOUBLE_EQ(TimeScale(), 0.01);
    EXPECT_EQ(ScaledMs(120000), 1200);
    EXPECT_EQ(ScaledMs(1000), 10);
    EXPECT_EQ(ScaledMs(150), 2);  // rounded up
    EXPECT_EQ(ScaledMs(1), 1);
    EXPECT_EQ(ScaledMs(0), 0);
    EXPECT_EQ(ScaledMs(-1), -1);
}

TEST(TimeScaleFast, ResponseWaitsKeepTheirFloor) {
    EXPECT_EQ(ScaledResponseWaitMs(120000), 1200);
    EXPECT_EQ(ScaledResponseWaitMs(2000), kLeastResponseWaitMs);
    EXPECT_EQ(ScaledResponseWaitMs(200), 200);  // a wait shorter than the floor stays whole
    EXPECT_EQ(ScaledResponseWaitMs(0), 0);
    EXPECT_EQ(ScaledResponseWaitMs(-1), -1);
}

TEST(TimeScaleFast, SleepUsesTheScale) {
    // A 60 s fixed pause ends well within the test's time-out.
    auto start = std::chrono::steady_clock::now();
    Sleep(60000);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(600));
    EXPECT_LT(elapsed, std::chrono::seconds(30));
}

// VEXLOR_TIME_SCALE=2.5
TEST(TimeScaleSlow, StretchesPausesAndSaturates) {
    EXPECT_DOUBLE_EQ(TimeScale(), 2.5);
    EXPECT_EQ(ScaledMs(100), 250);
    EXPECT_EQ(ScaledMs(3), 8);
    EXPECT_EQ(ScaledMs(-1), -1);
    EXPECT_EQ(ScaledMs(INT_MAX), INT_MAX);
    EXPECT_EQ(ScaledMs(1000000000), INT_MAX);
    EXPECT_EQ(ScaledResponseWaitMs(1000), 2500);
}

}  // namespace
}  // namespace platform
