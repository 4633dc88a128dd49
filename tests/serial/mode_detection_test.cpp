// SPDX-License-Identifier: Apache-2.0
// The listener's detection of each mode against the handset model on an in-process line.
// Replies in pieces and the rate rotation over a real terminal stay in channel_test.cpp.
#include <string>
#include <vector>

#include "model_channel_fixture.h"

namespace {

struct DetectionCase {
    const char* name;
    std::vector<std::string> options;
    EChannelEvent event;
    EPhoneMode mode;
    friend void PrintTo(const DetectionCase& c, std::ostream* os) { *os << c.name; }
};

class DetectionTest : public ModelChannelTest, public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(DetectionTest, ListenerFindsTheModeAndCloseEndsIt) {
    StartSim(GetParam().options);
    TestChannel& channel = Channel();
    OpenAndDetect(channel, GetParam().event);
    EXPECT_EQ(channel.Mode(), GetParam().mode);
    EXPECT_TRUE(channel.IsPortOpen());
    EXPECT_EQ(channel.Events().front(), EVENT_DETECTING);
    // The reply that showed the mode is not data for the owner.
    EXPECT_EQ(channel.UnreadCount(), 0u);
    EXPECT_EQ(channel.EventCount(EVENT_DATA), 0);

    // The ending listener closes the port itself: Close has nothing left to close.
    EXPECT_EQ(channel.Close(), 0);
    EXPECT_FALSE(channel.IsPortOpen());
    EXPECT_FALSE(channel.IsListenerRunning());
    EXPECT_EQ(channel.EventCount(EVENT_LISTENER_ENDED), 1);
    EXPECT_EQ(channel.Mode(), PHONE_MODE_UNKNOWN);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DetectionTest,
    ::testing::Values(
        DetectionCase{"Ds", {"--mode", "ds"}, EVENT_DS_FOUND, PHONE_MODE_DS},
        DetectionCase{"DiagPattern1", {"--mode", "diag", "--reply-pattern", "1"}, EVENT_DIAG_FOUND, PHONE_MODE_DIAG},
        DetectionCase{"DiagPattern2", {"--mode", "diag", "--reply-pattern", "2"}, EVENT_DIAG_FOUND, PHONE_MODE_DIAG},
        DetectionCase{"Dl", {"--mode", "dl"}, EVENT_DL_FOUND, PHONE_MODE_DL}),
    [](const ::testing::TestParamInfo<DetectionCase>& info) { return info.param.name; });

TEST_F(ModelChannelTest, RateRotationFindsAHandsetAnsweringOnlyAt460800OnTheThirdOpening) {
    ModelLine& sim = StartSim({"--mode", "diag", "--only-baud", "460800"});
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    EXPECT_EQ(channel.Baudrate(), 460800u);
    EXPECT_EQ(sim.RatesSet(), (std::vector<uint32_t>{115200, 230400, 460800})) << sim.NotesText();
    EXPECT_EQ(Heard(sim, "61 74 0D 1C D5 7E 06 4E 95 7E"), 3);
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ModelChannelTest, ARateTheDriverRefusesIsPassedOverAndTheRotationGoesOn) {
    ModelLine& sim = StartSim({"--mode", "diag", "--only-baud", "460800"});
    sim.RefuseRate(230400);
    TestChannel& channel = Channel();
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    EXPECT_EQ(channel.Baudrate(), 460800u);
    EXPECT_FALSE(channel.IsPortUnusable());
    // The refused rate's opening failed and the next one was tried: the third opening found it.
    EXPECT_EQ(sim.RatesSet(), (std::vector<uint32_t>{115200, 460800})) << sim.NotesText();
    EXPECT_EQ(channel.Close(), 0);
}

}  // namespace
