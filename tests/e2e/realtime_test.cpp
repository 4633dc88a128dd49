// SPDX-License-Identifier: Apache-2.0
// The normal case and the version retries at the tool's own timing (no time scale).
#include <chrono>

#include "cli_rig.h"
#include "engine/dl_status.h"

namespace {

TEST_F(CliDownloadTest, NormalDownloadAtRealTiming) {
    Prepare(0x20201, {});
    Launch({}, "1");
    ASSERT_TRUE(vexlor.WaitForOutput("Downloading: 100% done", 90000)) << Output();
    const auto lastProgress = std::chrono::steady_clock::now();
    ASSERT_TRUE(vexlor.WaitForOutput("[0x065]", 30000)) << Output();
    // The done status follows the port's closing by the 5 s pause.
    EXPECT_GE(std::chrono::steady_clock::now() - lastProgress, std::chrono::milliseconds(4900));
    EXPECT_EQ(Finish(10000), 0);
    EXPECT_EQ(PrintedStatuses(), (std::vector<uint32_t>{STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE}));
    ExpectImageIsLoad();
}

// A handset whose every answer comes in 4-byte pieces 90 ms apart (an adapter's latency timer
// set high, a handset pausing between echo and answer): found, switched and flashed.
TEST_F(CliDownloadTest, HandsetAnsweringInPiecesIsFlashedAtRealTiming) {
    Prepare(0x200, {"--mode", "ds", "--reply-pieces", "4,90"});
    EXPECT_EQ(Run({}, "1"), 0) << Output();
    EXPECT_EQ(PrintedStatuses(), (std::vector<uint32_t>{STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE}));
    EXPECT_EQ(CountInLog("Can not determine phone mode by return buffer."), 0);
    ExpectImageIsLoad();
}

TEST_F(CliDownloadTest, VersionRetriesPauseHalfASecondAtRealTiming) {
    Prepare(0x200, {"--version-numbers", "7,7"});
    EXPECT_EQ(Run({}, "1"), 1);
    const auto times = LogTimesOf(rig.LogText(), "SW version version mismatch");
    ASSERT_EQ(times.size(), 3u);
    for (size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(times[i] - times[i - 1], 500) << i;
        EXPECT_LT(times[i] - times[i - 1], 1500) << i;
    }
}

}  // namespace
