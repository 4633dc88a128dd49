// SPDX-License-Identifier: Apache-2.0
// The listener's detection of each mode, and the rate rotation, over both kinds of line (one
// body, so that neither copy can drift); the rate the driver refuses against the model only.
#include <string>
#include <vector>

#include "line_kinds.h"
#include "model_channel_fixture.h"
#include "temp_folder.h"

namespace {

constexpr const char* kSimPort = "COM7";

struct DetectionCase {
    const char* name;
    std::vector<std::string> options;
    EChannelEvent event;
    EPhoneMode mode;
};

// A handset on a line of kind Line, mapped as kSimPort in the test's own settings file, and a
// channel on it.
template <typename Line>
class LineDetectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestSettings settings;
        settings.logPrefix = m_folder.File("log-");
        Line::MapPort(settings, kSimPort);
        ASSERT_TRUE(UseSettings(SettingsPath(), settings));
    }
    void TearDown() override { Stop(); }

    // A fresh handset as the simulator's options say and a fresh channel on its line (the
    // previous ones go): both stay until the next call or the test's end.
    Line& Start(const std::vector<std::string>& options) {
        Stop();
        m_line = std::make_unique<Line>(options, SettingsPath(), kSimPort);
        EXPECT_EQ(m_line->StartError(), "");
        m_channel = m_line->MakeChannel();
        return *m_line;
    }
    TestChannel& Channel() { return *m_channel; }

    // Opens the channel on the handset and waits for the listener to report found.
    void OpenAndDetect(EChannelEvent found) {
        ASSERT_EQ(m_channel->Open(kSimPort, 115200), 0);
        ASSERT_TRUE(m_channel->WaitFor(found)) << "mode not detected\n" << m_line->Notes();
    }

    // The listener finds the mode; the ending listener closes the port itself.
    void ExpectFoundAndClosed(const DetectionCase& detection) {
        SCOPED_TRACE(detection.name);
        Start(detection.options);
        TestChannel& channel = Channel();
        OpenAndDetect(detection.event);
        EXPECT_EQ(channel.Mode(), detection.mode);
        EXPECT_TRUE(channel.IsPortOpen());
        EXPECT_EQ(channel.Events().front(), EVENT_DETECTING);
        // The reply that showed the mode is not data for the owner.
        EXPECT_EQ(channel.UnreadCount(), 0u);
        EXPECT_EQ(channel.EventCount(EVENT_DATA), 0);

        // Close has nothing left to close.
        EXPECT_EQ(channel.Close(), 0);
        EXPECT_FALSE(channel.IsPortOpen());
        EXPECT_FALSE(channel.IsListenerRunning());
        EXPECT_EQ(channel.EventCount(EVENT_LISTENER_ENDED), 1);
        EXPECT_EQ(channel.Mode(), PHONE_MODE_UNKNOWN);
    }

private:
    std::string SettingsPath() const { return m_folder.File("settings.reg"); }
    void Stop() {
        m_channel.reset();  // the channel first: it may own the line
        m_line.reset();
    }

    TempFolder m_folder;
    std::unique_ptr<Line> m_line;
    std::unique_ptr<TestChannel> m_channel;
};

struct LineKindName {
    template <typename Line>
    static std::string GetName(int) {
        return Line::kName;
    }
};

#ifdef _WIN32
using LineKinds = ::testing::Types<ModelLineKind>;
#else
using LineKinds = ::testing::Types<ModelLineKind, PtyLineKind>;
#endif
TYPED_TEST_SUITE(LineDetectionTest, LineKinds, LineKindName);

// Whole replies, one kind of each mode's reply.
const DetectionCase kWholeReplies[] = {
    {"Ds", {"--mode", "ds"}, EVENT_DS_FOUND, PHONE_MODE_DS},
    {"DiagPattern1", {"--mode", "diag", "--reply-pattern", "1"}, EVENT_DIAG_FOUND, PHONE_MODE_DIAG},
    {"DiagPattern2", {"--mode", "diag", "--reply-pattern", "2"}, EVENT_DIAG_FOUND, PHONE_MODE_DIAG},
    {"Dl", {"--mode", "dl"}, EVENT_DL_FOUND, PHONE_MODE_DL},
};

// Replies that come in pieces, as USB adapters and handsets hand them over: recognised whole,
// nothing left over as data.
const DetectionCase kRepliesInPieces[] = {
    {"DsIn4BytePiecesEvery16ms", {"--mode", "ds", "--reply-pieces", "4,16"}, EVENT_DS_FOUND, PHONE_MODE_DS},
    {"DsIn3BytePiecesEvery90ms", {"--mode", "ds", "--reply-pieces", "3,90"}, EVENT_DS_FOUND, PHONE_MODE_DS},
    {"Diag1In4BytePiecesEvery40ms", {"--mode", "diag", "--reply-pieces", "4,40"}, EVENT_DIAG_FOUND, PHONE_MODE_DIAG},
    {"Diag1In4BytePiecesEvery90ms", {"--mode", "diag", "--reply-pieces", "4,90"}, EVENT_DIAG_FOUND, PHONE_MODE_DIAG},
    {"Diag2In2BytePiecesEvery90ms",
     {"--mode", "diag", "--reply-pattern", "2", "--reply-pieces", "2,90"},
     EVENT_DIAG_FOUND,
     PHONE_MODE_DIAG},
    {"DlIn2BytePiecesEvery90ms", {"--mode", "dl", "--reply-pieces", "2,90"}, EVENT_DL_FOUND, PHONE_MODE_DL},
    {"DiagAt460800In4BytePiecesEvery90ms",
     {"--mode", "diag", "--only-baud", "460800", "--reply-pieces", "4,90"},
     EVENT_DIAG_FOUND,
     PHONE_MODE_DIAG},
};

TYPED_TEST(LineDetectionTest, ListenerFindsEachModeFromWholeRepliesAndCloseEndsIt) {
    for (const DetectionCase& detection : kWholeReplies) this->ExpectFoundAndClosed(detection);
}

TYPED_TEST(LineDetectionTest, ListenerFindsEachModeFromRepliesInPiecesAndCloseEndsIt) {
    for (const DetectionCase& detection : kRepliesInPieces) this->ExpectFoundAndClosed(detection);
}

TYPED_TEST(LineDetectionTest, RateRotationFindsAHandsetAnsweringOnlyAt460800OnTheThirdOpening) {
    TypeParam& sim = this->Start({"--mode", "diag", "--only-baud", "460800"});
    TestChannel& channel = this->Channel();
    this->OpenAndDetect(EVENT_DIAG_FOUND);
    EXPECT_EQ(channel.Baudrate(), 460800u);
    EXPECT_EQ(channel.m_nBaudIndex.load(), 0);  // the next opening would be at 115200 again
    EXPECT_EQ(sim.RatesSet(), (std::vector<uint32_t>{115200, 230400, 460800})) << sim.Notes();
    EXPECT_EQ(sim.Heard("61 74 0D 1C D5 7E 06 4E 95 7E"), 3);
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
