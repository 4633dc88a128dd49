// SPDX-License-Identifier: Apache-2.0
// A bench's sequence of handsets on the in-process line, on a manual clock: the commit's time,
// the restart after the reset, the handset taken off the cable, the next one plugged in.
#include <gtest/gtest.h>

#include "model_line.h"
#include "serial/phone_mode.h"
#include "sim_test_bytes.h"

namespace {

using Clock = LineClock::Clock;

class BenchSequence : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& args) {
        SimOptions options;
        ASSERT_EQ(ParseSimOptions(args, options), "");
        line = std::make_unique<ModelLine>(options, clock);
        ASSERT_TRUE(line->Open("ignored", 115200).Ok());
    }
    // Writes bytes and takes what has arrived by then, without letting time pass.
    Bytes Ask(const Bytes& bytes) {
        EXPECT_EQ(line->Write(bytes.data(), bytes.size(), nullptr), 0);
        return Arrived(0);
    }
    // What arrives within waitMs (the manual clock moves on to the moment it comes).
    Bytes Arrived(int waitMs) {
        Bytes buffer(4096);
        size_t got = 0;
        line->Read(buffer.data(), buffer.size(), &got, waitMs, 0);
        buffer.resize(got);
        return buffer;
    }
    EPhoneMode ModeOfAnswer() {
        const Bytes answer = Ask(DetectionPacket());
        return ClassifyReply(answer.data(), answer.size());
    }
    int64_t MsSince(Clock::time_point start) const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock->Now() - start).count();
    }
    std::string PlatformOfAnswer() {
        const auto frames = DecodeFrames(Ask(DiagFrame(Hex("00"))), false);
        if (frames.size() != 1 || frames[0].size() < 47) return "";
        return std::string(frames[0].begin() + 39, frames[0].begin() + 47);
    }

    std::shared_ptr<ManualLineClock> clock = std::make_shared<ManualLineClock>();
    std::unique_ptr<ModelLine> line;
};

TEST_F(BenchSequence, RestartUnplugAndTheNextHandsetFollowTheirTimes) {
    Start({"--mode", "dl", "--commit-time", "3000", "--restart-after", "800", "--unplug-after", "500", "--swap-time",
           "2000", "--then", "--mode diag --platform CORVANE1 --fail-nand --unplug-after 300"});
    // Its turn has not ended: it stays on the cable, however long.
    clock->Advance(60000);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_DL);

    // The write to NAND is answered after the commit's time.
    const auto commit = clock->Now();
    EXPECT_TRUE(Ask(DlFrame(Hex("70 04"))).empty());
    EXPECT_EQ(DecodeFrames(Arrived(10000), true), std::vector<Bytes>{Hex("70 00 00")});
    EXPECT_EQ(MsSince(commit), 3000);

    // The reset is acknowledged; then it is silent until it has restarted, in AT data mode.
    EXPECT_EQ(DecodeFrames(Ask(DlFrame(Hex("0A"))), true), std::vector<Bytes>{Hex("02")});
    clock->Advance(799);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_UNKNOWN);
    clock->Advance(1);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_DS);
    EXPECT_EQ(line->Image().size(), 0u);  // still the one handset

    // Probes do not keep it on the cable: it goes 500 ms after its restart.
    clock->Advance(499);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_DS);
    clock->Advance(1);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_UNKNOWN);
    EXPECT_EQ(line->HandsetNumber(), 1u);

    // The next one is plugged in after the swap time, with its own platform and start mode.
    clock->Advance(1999);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_UNKNOWN);
    clock->Advance(1);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_DIAG);
    EXPECT_EQ(line->HandsetNumber(), 2u);
    EXPECT_EQ(PlatformOfAnswer(), "CORVANE1");

    // Its NAND write refused, its turn has ended: it goes 300 ms later; after the last nothing
    // answers.
    Ask(DiagFrame(Hex("3A")));  // to download mode
    clock->Advance(5000);
    EXPECT_EQ(DecodeFrames(Ask(DlFrame(Hex("70 04"))), true), std::vector<Bytes>{Hex("70 01 00")});
    clock->Advance(299);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_DL);
    clock->Advance(1);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_UNKNOWN);
    clock->Advance(600000);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_UNKNOWN);
    const std::string notes = line->NotesText();
    for (const char* step :
         {"handset 1 plugged in (platform MSM5105, start mode DL, ESN ", "restarting (silent for 800 ms)",
          "restarted in DS mode", "unplugged", "handset 2 plugged in (platform CORVANE1", "no more handsets"}) {
        EXPECT_NE(notes.find(step), std::string::npos) << step << "\n" << notes;
    }
    // Without --esn each handset of the bench still has one of its own.
    auto esnOf = [&notes](const std::string& handset) {
        const size_t at = notes.find("ESN ", notes.find(handset + " plugged in"));
        return at == std::string::npos ? std::string() : notes.substr(at + 4, 8);
    };
    EXPECT_EQ(esnOf("handset 1").size(), 8u);
    EXPECT_NE(esnOf("handset 1"), esnOf("handset 2"));
}

TEST_F(BenchSequence, AHandsetThatNeverRestartsStaysSilentUntilItIsTakenOff) {
    Start({"--mode", "dl", "--restart-after", "never", "--unplug-after", "1000", "--then", "--mode ds"});
    EXPECT_EQ(DecodeFrames(Ask(DlFrame(Hex("0A"))), true), std::vector<Bytes>{Hex("02")});
    clock->Advance(999);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_UNKNOWN);
    EXPECT_EQ(line->HandsetNumber(), 1u);
    // Taken off 1 s after the reset (no restart); the next one after the default swap time of 1 s.
    clock->Advance(1 + 1000);
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_DS);
    EXPECT_EQ(line->HandsetNumber(), 2u);
    EXPECT_NE(line->NotesText().find("never restarts"), std::string::npos);

    // Without the bench's times a handset is back in its start mode at once after a reset.
    Start({"--mode", "dl"});
    EXPECT_EQ(DecodeFrames(Ask(DlFrame(Hex("0A"))), true), std::vector<Bytes>{Hex("02")});
    EXPECT_EQ(ModeOfAnswer(), PHONE_MODE_DL);
}

}  // namespace
