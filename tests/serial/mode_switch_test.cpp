// SPDX-License-Identifier: Apache-2.0
// The channel's mode switches against the handset model on an in-process line.
#include <chrono>
#include <string>

#include "model_channel_fixture.h"
#include "platform/sleep.h"

namespace {

constexpr const char* kOfflineCommandHex = "29 01 00 31 40 7E";
constexpr const char* kStatusRequestHex = "0C 14 3A 7E";
constexpr const char* kChangeModeHex = "3A A1 6E 7E";

using ModeSwitchTest = ModelChannelTest;

TEST_F(ModeSwitchTest, DsToDiagRestartsTheListenerWhichFindsDiag) {
    ModelLine& sim = StartSim({"--mode", "ds"});
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DS_FOUND);
    EXPECT_EQ(channel.ChangeDS2DIAG(), 1) << sim.NotesText();
    EXPECT_EQ(channel.Mode(), PHONE_MODE_DIAG);
    EXPECT_EQ(Heard(sim, "61 74 24 71 63 64 6D 67 0D"), 1);  // at$qcdmg\r
    EXPECT_EQ(channel.EventCount(EVENT_LISTENER_ENDED), 1);
    EXPECT_EQ(channel.EventCount(EVENT_DIAG_FOUND), 1);
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ModeSwitchTest, DsToDiagFailsWhenTheListenerFindsAnotherMode) {
    // A DL handset ignores "at$qcdmg" and is found in DL again: that is a failure.
    StartSim({"--mode", "dl"});
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DL_FOUND);
    EXPECT_EQ(channel.ChangeDS2DIAG(), 0);
    EXPECT_EQ(channel.Mode(), PHONE_MODE_DL);
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ModeSwitchTest, DiagToDlGoesOfflineSwitchesAndFindsDl) {
    ModelLine& sim = StartSim({"--mode", "diag", "--offline-after", "2"});
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    EXPECT_EQ(channel.ChangeDIAG2DL(), 1);
    EXPECT_EQ(channel.Mode(), PHONE_MODE_DL);
    EXPECT_EQ(channel.m_bBlockWrites.load(), 0);
    EXPECT_EQ(channel.m_bHoldEvents.load(), 0);
    EXPECT_EQ(Heard(sim, "1F FF 00 5E F6 7E"), 1);
    EXPECT_EQ(Heard(sim, "60 00 12 6A 7E"), 1);
    EXPECT_EQ(Heard(sim, "73 00 00 00 00 00 00 00 DA 81 7E"), 1);
    EXPECT_EQ(Heard(sim, "00 78 F0 7E"), 1);
    EXPECT_EQ(Heard(sim, kOfflineCommandHex), 1);
    EXPECT_EQ(Heard(sim, kStatusRequestHex), 1 + 3);  // first look, 2 online polls, 1 offline
    EXPECT_EQ(Heard(sim, kChangeModeHex), 1);
    EXPECT_EQ(channel.EventCount(EVENT_DL_FOUND), 1);
    // The held replies of the switch never reached the owner as data events.
    EXPECT_EQ(channel.EventCount(EVENT_DATA), 0);
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ModeSwitchTest, DsToDlRunsBothSwitches) {
    StartSim({"--mode", "ds"});
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DS_FOUND);
    EXPECT_EQ(channel.ChangeDS2DL(), 1);
    EXPECT_EQ(channel.Mode(), PHONE_MODE_DL);
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ModeSwitchTest, CorvaneSkipsTheOfflineStepAndPausesWithThePortClosed) {
    ModelLine& sim = StartSim({"--mode", "diag", "--platform", "CORVANE1", "--no-status-reply"});
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel.ChangeDIAG2DL(), 1);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(channel.Mode(), PHONE_MODE_DL);
    EXPECT_EQ(Heard(sim, kOfflineCommandHex), 0);
    EXPECT_EQ(Heard(sim, kStatusRequestHex), 1);
    // The 10 s pause (scaled) after the change mode command happened.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), platform::ScaledMs(10000));
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ModeSwitchTest, GetMobileModeReadsThePlatformText) {
    struct Case {
        const char* text;
        EMobilePlatform platform;
    };
    for (Case c : {Case{"CORVANE1", PLATFORM_CORVANE}, Case{"marlet", PLATFORM_MARLET},
                   Case{"MSM5105", PLATFORM_MSM5105}, Case{"QSC60", PLATFORM_OTHER}}) {
        StartSim({"--mode", "diag", "--platform", c.text});
        TestChannel& channel = Channel();
        OpenAndDetect(channel, EVENT_DIAG_FOUND);
        EXPECT_EQ(channel.GetMobileMode(), c.platform) << c.text;
        EXPECT_EQ(channel.Close(), 0);
    }
}

TEST_F(ModeSwitchTest, GetMobileModeWithoutAVersionReplyIsOther) {
    // A handset in DL mode has no version reply.
    StartSim({"--mode", "dl"});
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DL_FOUND);
    EXPECT_EQ(channel.GetMobileMode(), PLATFORM_OTHER);
    EXPECT_EQ(channel.Close(), 0);
}

struct OfflineCase {
    const char* name;
    std::vector<std::string> options;
    int32_t result;
    int statusRequests;
    friend void PrintTo(const OfflineCase& c, std::ostream* os) { *os << c.name; }
};

class OfflineTest : public ModelChannelTest, public ::testing::WithParamInterface<OfflineCase> {};

TEST_P(OfflineTest, PollsTheStatusUntilOfflineOrTheBudgetEnds) {
    std::vector<std::string> options = {"--mode", "diag"};
    options.insert(options.end(), GetParam().options.begin(), GetParam().options.end());
    ModelLine& sim = StartSim(options);
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    channel.m_bHoldEvents = 1;
    EXPECT_EQ(channel.ChangeToOffline(), GetParam().result);
    EXPECT_EQ(Heard(sim, kStatusRequestHex), GetParam().statusRequests);
    EXPECT_EQ(Heard(sim, kOfflineCommandHex), GetParam().statusRequests > 1 ? 1 : 0);
    EXPECT_EQ(channel.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Handsets, OfflineTest,
    ::testing::Values(
        // Offline on the first poll (RF mode 1, word 2), and after three online polls.
        OfflineCase{"FirstPoll", {"--offline-after", "0"}, 1, 2},
        OfflineCase{"FourthPoll", {"--offline-after", "3"}, 1, 5},
        // RF mode 0 reports offline with word 6.
        OfflineCase{"RfMode0", {"--offline-after", "1", "--rf-mode", "0"}, 1, 3},
        // Never offline: 20 polls, then failure.
        OfflineCase{"Never", {"--offline-after", "never"}, 0, 21},
        // No status reply at all: taken to need no offline step.
        OfflineCase{"NoStatusReply", {"--no-status-reply"}, 1, 1},
        // Escaped bytes ahead of the words shift both; they are still read right.
        OfflineCase{"ThreeEscapes", {"--offline-after", "0", "--status-escapes", "3"}, 1, 2},
        OfflineCase{"SevenEscapesRfMode0", {"--offline-after", "0", "--status-escapes", "7", "--rf-mode", "0"}, 1, 2},
        OfflineCase{"EscapesNeverOffline", {"--offline-after", "never", "--status-escapes", "5"}, 0, 21}),
    [](const ::testing::TestParamInfo<OfflineCase>& info) { return info.param.name; });

TEST_F(ModeSwitchTest, SwitchesFailWithoutHangingWhenTheHandsetIsSilent) {
    ModelLine& sim = StartSim({"--mode", "diag"});
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    sim.Unplug();  // the handset goes away
    EXPECT_EQ(channel.ChangeToOffline(), 0);
    EXPECT_EQ(channel.GetMobileMode(), PLATFORM_OTHER);
    EXPECT_EQ(channel.ChangeDIAG2DL(), 0);
    EXPECT_EQ(channel.m_bBlockWrites.load(), 0);
    EXPECT_EQ(channel.m_bHoldEvents.load(), 0);
    channel.Close();
    EXPECT_FALSE(channel.IsPortOpen());
}

}  // namespace
