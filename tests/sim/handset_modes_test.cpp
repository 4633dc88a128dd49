// SPDX-License-Identifier: Apache-2.0
// The simulated handset's answers in each mode, byte for byte, against the frames the tool sends.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "handset_model.h"
#include "sim_test_bytes.h"

namespace {

HandsetConfig Config(HandsetMode mode) {
    HandsetConfig config;
    config.startMode = mode;
    return config;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool StartsWith(const Bytes& bytes, const Bytes& prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

const Bytes kDlAck = Hex("7E 02 6A D3 7E");

// ---- DS ----

TEST(HandsetDs, DetectionPacketIsEchoedWithOkAfterTheCarriageReturn) {
    HandsetModel model(Config(HandsetMode::DS));
    const Bytes expected = Hex("61 74 0D 0D 0A 4F 4B 0D 0A 1C D5 7E 06 4E 95 7E");
    EXPECT_EQ(ToHex(Feed(model, DetectionPacket())), ToHex(expected));
    // Again: the bytes after the first line do not spoil the next "at".
    EXPECT_EQ(ToHex(Feed(model, DetectionPacket())), ToHex(expected));
    EXPECT_EQ(model.Mode(), HandsetMode::DS);
}

TEST(HandsetDs, AnswerDoesNotDependOnHowTheBytesAreSplit) {
    HandsetModel whole(Config(HandsetMode::DS));
    HandsetModel split(Config(HandsetMode::DS));
    const Bytes probe = DetectionPacket();
    Bytes answer;
    for (uint8_t b : probe) {
        const Bytes part = Feed(split, {b});
        answer.insert(answer.end(), part.begin(), part.end());
    }
    EXPECT_EQ(ToHex(answer), ToHex(Feed(whole, probe)));
}

TEST(HandsetDs, QcdmgIsAnsweredOkAndSwitchesToDiag) {
    HandsetModel model(Config(HandsetMode::DS));
    const std::string command = "at$qcdmg\r";
    const Bytes answer = Feed(model, Bytes(command.begin(), command.end()));
    EXPECT_EQ(std::string(answer.begin(), answer.end()), "at$qcdmg\r\r\nOK\r\n");
    EXPECT_EQ(model.Mode(), HandsetMode::DIAG);
    // Upper case works as well, as on a modem.
    HandsetModel upper(Config(HandsetMode::DS));
    const std::string shouted = "AT$QCDMG\r";
    Feed(upper, Bytes(shouted.begin(), shouted.end()));
    EXPECT_EQ(upper.Mode(), HandsetMode::DIAG);
}

TEST(HandsetDs, BytesAfterQcdmgInTheSameReadAreTakenInDiagMode) {
    HandsetModel model(Config(HandsetMode::DS));
    const std::string command = "at$qcdmg\r";
    const Bytes input = Concat(Bytes(command.begin(), command.end()), DetectionPacket());
    const Bytes answer = Feed(model, input);
    const std::string ok = "at$qcdmg\r\r\nOK\r\n";
    const Bytes expected = Concat(Concat(Bytes(ok.begin(), ok.end()), DiagFrame(Hex("14 61 74 0D 1C D5 7E"))),
                                  DiagFrame(Hex("14 06 4E 95 7E")));
    EXPECT_EQ(ToHex(answer), ToHex(expected));
}

TEST(HandsetDs, OtherCommandsGetErrorAndTextWithoutCommandOnlyTheEcho) {
    HandsetModel model(Config(HandsetMode::DS));
    const std::string unknown = "atz\r";
    const Bytes answer = Feed(model, Bytes(unknown.begin(), unknown.end()));
    EXPECT_EQ(std::string(answer.begin(), answer.end()), "atz\r\r\nERROR\r\n");
    const std::string digits = "12345\r";
    const Bytes echo = Feed(model, Bytes(digits.begin(), digits.end()));
    EXPECT_EQ(std::string(echo.begin(), echo.end()), digits);
    EXPECT_EQ(model.Mode(), HandsetMode::DS);
}

TEST(HandsetDs, AnOverlongLineKeepsOnlyItsEnd) {
    HandsetModel model(Config(HandsetMode::DS));
    Bytes noise(5000, 'x');
    Feed(model, noise);
    const std::string command = "at$qcdmg\r";
    Feed(model, Bytes(command.begin(), command.end()));
    EXPECT_EQ(model.Mode(), HandsetMode::DIAG);
}

// ---- DIAG ----

TEST(HandsetDiag, DetectionPacketWithReplyPattern1) {
    HandsetModel model(Config(HandsetMode::DIAG));
    const Bytes answer = Feed(model, DetectionPacket());
    // Code 0x14, then each of the packet's two frames as it came, each answer framed.
    EXPECT_TRUE(StartsWith(answer, Hex("14 61 74 0D 1C D5 7D 5E"))) << ToHex(answer);
    EXPECT_EQ(ToHex(answer), ToHex(Concat(DiagFrame(Hex("14 61 74 0D 1C D5 7E")), DiagFrame(Hex("14 06 4E 95 7E")))));
}

TEST(HandsetDiag, DetectionPacketWithReplyPattern2) {
    HandsetConfig config = Config(HandsetMode::DIAG);
    config.replyPattern = 2;
    HandsetModel model(config);
    const Bytes answer = Feed(model, DetectionPacket());
    EXPECT_EQ(ToHex(answer), ToHex(Concat(Hex("13 61 74 0D 62 09 7E"), DiagFrame(Hex("13 06")))));
}

TEST(HandsetDiag, QuietRequestsAndOfflineCommandAreEchoedAsSent) {
    HandsetModel model(Config(HandsetMode::DIAG));
    for (const char* frame :
         {"1F FF 00 5E F6 7E", "60 00 12 6A 7E", "73 00 00 00 00 00 00 00 DA 81 7E", "29 01 00 31 40 7E"}) {
        EXPECT_EQ(ToHex(Feed(model, Hex(frame))), frame);
    }
    EXPECT_EQ(model.Mode(), HandsetMode::DIAG);
}

TEST(HandsetDiag, VersionRequestCarriesThePlatformTextAtBytes39To46) {
    HandsetConfig config = Config(HandsetMode::DIAG);
    config.platform = "CORVANE1";
    HandsetModel model(config);
    const Bytes answer = Feed(model, Hex("00 78 F0 7E"));
    ASSERT_GE(answer.size(), 47u);
    EXPECT_EQ(answer[0], 0x00);
    // Read raw, as the tool reads it: no byte before the text may be escaped.
    EXPECT_EQ(std::string(answer.begin() + 39, answer.begin() + 47), "CORVANE1");
    const auto frames = DecodeFrames(answer, false);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 55u);

    config.platform = "marlet";  // short texts are padded with spaces
    HandsetModel other(config);
    const Bytes padded = Feed(other, Hex("00 78 F0 7E"));
    EXPECT_EQ(std::string(padded.begin() + 39, padded.begin() + 47), "marlet  ");
}

TEST(HandsetDiag, VersionQueryCarriesTheVersionNumbersAtBytes6And7) {
    HandsetConfig config = Config(HandsetMode::DIAG);
    config.versionNumbers[0] = 0;
    config.versionNumbers[1] = 126;  // 0x7E: escaped on the line, restored by the decoder
    HandsetModel model(config);
    const Bytes answer = Feed(model, Hex("4B 00 01 00 A4 33 7E"));
    const auto frames = DecodeFrames(answer, false);
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(frames[0].size(), 8u);
    EXPECT_EQ(frames[0][0], 0x4B);
    EXPECT_EQ(frames[0][6], 0);
    EXPECT_EQ(frames[0][7], 126);
}

TEST(HandsetDiag, UnknownRequestsGetTheBadCommandReplyOfTheChosenPattern) {
    // A 4B request for another subsystem command is not the version query.
    const Bytes request = DiagFrame(Hex("4B 00 02 00"));
    HandsetModel pattern1(Config(HandsetMode::DIAG));
    EXPECT_EQ(ToHex(Feed(pattern1, request)), ToHex(DiagFrame(Concat(Hex("14"), request))));
    HandsetConfig config = Config(HandsetMode::DIAG);
    config.replyPattern = 2;
    HandsetModel pattern2(config);
    EXPECT_EQ(ToHex(Feed(pattern2, request)), ToHex(DiagFrame(Hex("13 4B 00 02 00"))));
    // DL requests mean nothing in DIAG mode either.
    EXPECT_EQ(ToHex(Feed(pattern2, Hex("06 4E 95 7E"))), ToHex(DiagFrame(Hex("13 06"))));
    EXPECT_EQ(pattern2.Mode(), HandsetMode::DIAG);
}

TEST(HandsetDiag, FramesWithABadCrcAreNotAnswered) {
    HandsetModel model(Config(HandsetMode::DIAG));
    EXPECT_TRUE(Feed(model, Hex("00 78 F1 7E")).empty());
    // The decoder is ready for the next good frame.
    EXPECT_FALSE(Feed(model, Hex("00 78 F0 7E")).empty());
}

TEST(HandsetDiag, ChangeModeCommandIsEchoedThenTheHandsetSpeaksDl) {
    HandsetModel model(Config(HandsetMode::DIAG));
    EXPECT_EQ(ToHex(Feed(model, Hex("3A A1 6E 7E"))), "3A A1 6E 7E");
    EXPECT_EQ(model.Mode(), HandsetMode::DL);
    EXPECT_EQ(ToHex(Feed(model, DetectionPacket())), ToHex(kDlAck));
}

// ---- phone status ----

struct StatusCase {
    std::optional<int> offlineAfter;
    uint16_t rfMode;
    int escapes;
    int onlinePolls;  // status replies after the offline command that still say online
};

void PrintTo(const StatusCase& c, std::ostream* out) {
    *out << "offline after " << (c.offlineAfter ? std::to_string(*c.offlineAfter) : "never") << ", RF mode " << c.rfMode
         << ", " << c.escapes << " escapes";
}

class HandsetStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(HandsetStatus, ReportsOnlineUntilOfflineAfterKPollsWithWordsWhereTheToolLooks) {
    const StatusCase& c = GetParam();
    HandsetConfig config = Config(HandsetMode::DIAG);
    config.offlineAfterPolls = c.offlineAfter;
    config.rfMode = c.rfMode;
    config.statusEscapes = c.escapes;
    HandsetModel model(config);
    const Bytes request = Hex("0C 14 3A 7E");
    const uint16_t offlineWord = c.rfMode == 0 ? 6 : 2;

    // Before the offline command the handset is online however often it is asked.
    for (int i = 0; i < 3; ++i) {
        const Bytes raw = Feed(model, request);
        ASSERT_FALSE(raw.empty());
        EXPECT_EQ(raw[0], 0x0C);
        EXPECT_EQ(ReadStatusWords(raw).rfMode, c.rfMode);
        EXPECT_EQ(ReadStatusWords(raw).second, 0);
    }
    Feed(model, Hex("29 01 00 31 40 7E"));
    for (int poll = 0; poll < 25; ++poll) {
        const Bytes raw = Feed(model, request);
        const StatusWords words = ReadStatusWords(raw);
        EXPECT_EQ(words.rfMode, c.rfMode) << "poll " << poll;
        const bool offline = c.offlineAfter && poll >= c.onlinePolls;
        EXPECT_EQ(words.second, offline ? offlineWord : 0) << "poll " << poll;
        EXPECT_EQ(model.Offline(), c.offlineAfter && poll + 1 >= c.onlinePolls);
        // Each escape moves the words one byte further on the line.
        const auto frames = DecodeFrames(raw, false);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(raw.size(), frames[0].size() + 3 + static_cast<size_t>(c.escapes));
    }
}

INSTANTIATE_TEST_SUITE_P(Polls, HandsetStatus,
                         ::testing::Values(StatusCase{0, 1, 0, 0}, StatusCase{1, 1, 0, 1}, StatusCase{3, 1, 0, 3},
                                           StatusCase{2, 0, 0, 2}, StatusCase{std::nullopt, 1, 0, 0},
                                           StatusCase{0, 1, 3, 0}, StatusCase{1, 0, 7, 1},
                                           StatusCase{std::nullopt, 0, 5, 0}));

TEST(HandsetIdentity, StatusReplyCarriesTheEsnEscapedAndAtGsnGivesItInEachFormat) {
    HandsetConfig config = Config(HandsetMode::DIAG);
    config.esn = 0x7E7D0102;  // low byte first on the line: 02 01 7D 7E, the last two escaped
    HandsetModel model(config);
    const Bytes raw = Feed(model, Hex("0C 14 3A 7E"));
    ASSERT_GE(raw.size(), 10u);
    EXPECT_EQ(ToHex(Bytes(raw.begin() + 4, raw.begin() + 10)), "02 01 7D 5D 7D 5E");
    const auto frames = DecodeFrames(raw, false);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(ToHex(Bytes(frames[0].begin() + 4, frames[0].begin() + 8)), "02 01 7D 7E");
    // The words after the ESN stand where the tool counts them.
    EXPECT_EQ(ReadStatusWords(raw).rfMode, 1);

    const std::pair<HandsetConfig::GsnFormat, std::string> formats[] = {
        {HandsetConfig::GsnFormat::kPrefixed, "+GSN: 7E7D0102"},
        {HandsetConfig::GsnFormat::kHex, "0x7E7D0102"},
        {HandsetConfig::GsnFormat::kPlain, "7E7D0102"},
    };
    for (const auto& [format, line] : formats) {
        config.startMode = HandsetMode::DS;
        config.gsnFormat = format;
        HandsetModel ds(config);
        const Bytes answer = Feed(ds, Hex("41 54 2B 47 53 4E 0D"));  // AT+GSN
        EXPECT_EQ(std::string(answer.begin(), answer.end()), "AT+GSN\r\r\n" + line + "\r\n\r\nOK\r\n");
        EXPECT_EQ(ds.Mode(), HandsetMode::DS);
    }
}

TEST(HandsetStatusReply, NoStatusReplyAnswersAsAnUnknownRequest) {
    HandsetConfig config = Config(HandsetMode::DIAG);
    config.statusReply = false;
    HandsetModel model(config);
    const Bytes raw = Feed(model, Hex("0C 14 3A 7E"));
    EXPECT_EQ(ToHex(raw), ToHex(DiagFrame(Hex("14 0C 14 3A 7E"))));
    EXPECT_NE(raw[0], 0x0C);
}

// ---- DL ----

TEST(HandsetDl, DetectionPacketGetsOnlyTheAckOfItsNoOperation) {
    HandsetModel model(Config(HandsetMode::DL));
    EXPECT_EQ(ToHex(Feed(model, DetectionPacket())), ToHex(kDlAck));
    // Again, now that a flag came just before: its DIAG part is a whole frame, still ignored.
    EXPECT_EQ(ToHex(Feed(model, DetectionPacket())), ToHex(kDlAck));
    // DIAG requests and AT commands get nothing.
    EXPECT_TRUE(Feed(model, Hex("00 78 F0 7E")).empty());
    const std::string at = "at$qcdmg\r";
    EXPECT_TRUE(Feed(model, Bytes(at.begin(), at.end())).empty());
    EXPECT_EQ(model.Mode(), HandsetMode::DL);
}

TEST(HandsetDl, NoOperationAndTheControlCommandsAnswerWithTheirStatus) {
    HandsetModel model(Config(HandsetMode::DL));
    EXPECT_EQ(ToHex(Feed(model, Hex("7E 06 4E 95 7E"))), ToHex(kDlAck));
    EXPECT_EQ(ToHex(Feed(model, DlFrame(Hex("70 00")))), ToHex(DlFrame(Hex("70 00 00"))));
    EXPECT_EQ(ToHex(Feed(model, DlFrame(Hex("70 02")))), ToHex(DlFrame(Hex("70 00 00"))));
    HandsetEvents events;
    EXPECT_EQ(ToHex(Feed(model, DlFrame(Hex("70 04")), &events)), ToHex(DlFrame(Hex("70 00 00"))));
    EXPECT_TRUE(events.nandWrite);
    EXPECT_FALSE(events.reset);
    // An action the handset does not have, or a control command of the wrong length.
    EXPECT_EQ(ToHex(Feed(model, DlFrame(Hex("70 07")))), ToHex(DlFrame(Hex("70 02 00"))));
    EXPECT_EQ(ToHex(Feed(model, DlFrame(Hex("70 00 00")))), ToHex(DlFrame(Hex("70 02 00"))));
}

TEST(HandsetDl, FaultKnobsChangeTheStatusWords) {
    HandsetConfig config = Config(HandsetMode::DL);
    config.startStatus = 0x1002;
    config.failFinal = true;
    config.failNand = true;
    HandsetModel model(config);
    EXPECT_EQ(ToHex(Feed(model, DlFrame(Hex("70 00")))), ToHex(DlFrame(Hex("70 02 10"))));
    EXPECT_EQ(ToHex(Feed(model, DlFrame(Hex("70 02")))), ToHex(DlFrame(Hex("70 01 00"))));
    HandsetEvents events;
    EXPECT_EQ(ToHex(Feed(model, DlFrame(Hex("70 04")), &events)), ToHex(DlFrame(Hex("70 01 00"))));
    EXPECT_TRUE(events.nandWrite);  // the image is saved whatever the handset answers
}

TEST(HandsetDl, ResetIsAcknowledgedAndReturnsToTheStartMode) {
    HandsetModel model(Config(HandsetMode::DIAG));
    Feed(model, Hex("29 01 00 31 40 7E"));
    Feed(model, Hex("0C 14 3A 7E"));
    Feed(model, Hex("0C 14 3A 7E"));
    ASSERT_TRUE(model.Offline());
    Feed(model, Hex("3A A1 6E 7E"));
    HandsetEvents events;
    // The reset and a DIAG request right behind it in the same read.
    const Bytes answer = Feed(model, Concat(DlFrame(Hex("0A")), Hex("0C 14 3A 7E")), &events);
    EXPECT_TRUE(events.reset);
    EXPECT_EQ(model.Mode(), HandsetMode::DIAG);
    const Bytes status = Bytes(answer.begin() + static_cast<ptrdiff_t>(kDlAck.size()), answer.end());
    EXPECT_EQ(ToHex(Bytes(answer.begin(), answer.begin() + 5)), ToHex(kDlAck));
    // A restarted handset is online again.
    EXPECT_EQ(ReadStatusWords(status).second, 0);
    EXPECT_FALSE(model.Offline());
}

TEST(HandsetDl, ResetOfAHandsetStartedInDsGoesBackToDs) {
    HandsetModel model(Config(HandsetMode::DS));
    const std::string command = "at$qcdmg\r";
    Feed(model, Bytes(command.begin(), command.end()));
    Feed(model, Hex("3A A1 6E 7E"));
    ASSERT_EQ(model.Mode(), HandsetMode::DL);
    Feed(model, DlFrame(Hex("0A")));
    EXPECT_EQ(model.Mode(), HandsetMode::DS);
}

TEST(HandsetDl, DroppedPartialInputDoesNotSpoilTheNextFrame) {
    HandsetModel model(Config(HandsetMode::DL));
    Feed(model, Hex("7E 70 01 00 00"));  // half a frame, then the line rate changed
    model.DropPartialInput();
    EXPECT_EQ(ToHex(Feed(model, Hex("06 4E 95 7E"))), ToHex(kDlAck));
}

}  // namespace
