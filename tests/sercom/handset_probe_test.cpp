// SPDX-License-Identifier: Apache-2.0
// The quiet look for a handset (a station's waiting, confirmation and removal watch) against the
// simulated handset on an in-process line.
#include "engine/handset_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <set>
#include <thread>

#include "model_line.h"
#include "settings_file.h"
#include "temp_folder.h"

namespace {

using namespace std::chrono_literals;
using Kind = ProbeResult::Kind;

class HandsetProbeTest : public ::testing::Test {
protected:
    // A probe on COM7 with the handset of the simulator's args behind it.
    void Start(const std::vector<std::string>& args) {
        TestSettings settings;
        settings.logLevel = -1;
        settings.ports["handset-model"] = "COM7";  // the line opens whatever the map names
        ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
        SimOptions options;
        ASSERT_EQ(ParseSimOptions(args, options), "");
        probe.reset();
        auto line = std::make_unique<ModelLine>(options);
        handset = line.get();
        probe = std::make_unique<CHandsetProbe>(std::move(line));
    }
    std::set<uint32_t> RatesTried() const {
        const auto rates = handset->RatesSet();
        return std::set<uint32_t>(rates.begin(), rates.end());
    }

    TempFolder folder;
    ModelLine* handset = nullptr;  // owned by probe
    std::unique_ptr<CHandsetProbe> probe;
};

TEST_F(HandsetProbeTest, AnAnswerInAnyModeIsFoundWithItsPlatformAndThePortIsGivenBack) {
    Start({"--mode", "ds"});
    ProbeResult found = probe->WaitForAnswer("COM7", 10s);
    EXPECT_EQ(found.kind, Kind::kAnswered);
    EXPECT_EQ(found.mode, PHONE_MODE_DS);
    EXPECT_EQ(found.platform, "");  // AT data mode does not tell it
    EXPECT_FALSE(handset->IsOpen());
    EXPECT_EQ(handset->Events().back().kind, InProcessLine::Event::Kind::kRestore);
    EXPECT_EQ(handset->Mode(), HandsetMode::DS);  // looked at, not switched

    // In diagnostic mode it is asked its platform (the version request), as the mode switch asks.
    Start({"--mode", "diag", "--platform", "MARLET12"});
    found = probe->Look("COM7");
    EXPECT_EQ(found.kind, Kind::kAnswered);
    EXPECT_EQ(found.mode, PHONE_MODE_DIAG);
    EXPECT_EQ(found.platform, "MARLET12");

    // One look tries every rate: a handset that hears only the third is found.
    Start({"--mode", "dl", "--only-baud", "460800"});
    found = probe->Look("COM7");
    EXPECT_EQ(found.kind, Kind::kAnswered);
    EXPECT_EQ(found.mode, PHONE_MODE_DL);
    EXPECT_EQ(found.platform, "");
}

TEST_F(HandsetProbeTest, SilenceIsAWholeRotationUnansweredAndAMissingPortIsNeverOpened) {
    Start({"--silent"});
    ProbeResult look = probe->Look("COM7");
    EXPECT_EQ(look.kind, Kind::kSilent);
    EXPECT_EQ(look.mode, PHONE_MODE_UNKNOWN);
    EXPECT_EQ(RatesTried(), (std::set<uint32_t>{115200, 230400, 460800}));
    EXPECT_FALSE(handset->IsOpen());

    // A wait with a bound ends there, silent.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(probe->WaitForAnswer("COM7", 300ms).kind, Kind::kSilent);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);

    // A port the map does not name (a USB port unplugged) is told absent, and not opened.
    const int openings = handset->OpenCount();
    look = probe->Look("COM8");
    EXPECT_EQ(look.kind, Kind::kAbsent);
    EXPECT_EQ(look.failure.kind, PortFailure::Kind::kAbsent);
    EXPECT_EQ(handset->OpenCount(), openings);
}

TEST_F(HandsetProbeTest, AStopEndsAWaitWithoutBoundAtOnce) {
    Start({"--silent"});
    std::atomic<int32_t> stop{0};
    probe->SetStopRequest(&stop);
    auto waiting = std::async(std::launch::async, [&] { return probe->WaitForAnswer("COM7", std::nullopt); });
    // It waits for a handset: it keeps opening the port to ask, and has not given up.
    for (int look = 0; look < 2000 && handset->OpenCount() < 2; ++look) std::this_thread::sleep_for(5ms);
    ASSERT_GE(handset->OpenCount(), 2);
    ASSERT_EQ(waiting.wait_for(0ms), std::future_status::timeout);
    stop.store(1);
    probe->Wake();
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(waiting.get().kind, Kind::kStopped);
    EXPECT_FALSE(handset->IsOpen());
    EXPECT_EQ(probe->Look("COM7").kind, Kind::kStopped);  // and every look after it
}

}  // namespace
