// SPDX-License-Identifier: Apache-2.0
#include "serial/phone_mode.h"

#include <gtest/gtest.h>

#include <vector>

#include "serial/handset_replies.h"

namespace {

EPhoneMode Classify(const std::vector<uint8_t>& bytes) { return ClassifyReply(bytes.data(), bytes.size()); }

TEST(ClassifyReply, RecognisesEachModeByItsLeadingBytes) {
    EXPECT_EQ(Classify({0x61, 0x74, 0x0D, 0x0D, 0x0A, 0x4F, 0x4B, 0x0D, 0x0A, 0x1C, 0xD5, 0x7E}), PHONE_MODE_DS);
    EXPECT_EQ(Classify({0x14, 0x61, 0x74, 0x0D, 0x1C, 0xD5, 0x7D, 0x5E, 0x06, 0x4E, 0x95, 0x7E}), PHONE_MODE_DIAG);
    EXPECT_EQ(Classify({0x13, 0x61, 0x74, 0x0D, 0x62, 0x09, 0x7E}), PHONE_MODE_DIAG);
    EXPECT_EQ(Classify({0x7E, 0x02, 0x6A, 0xD3, 0x7E}), PHONE_MODE_DL);
    EXPECT_EQ(Classify({0x7E, 0x02, 0x6A, 0xD3, 0x7E, 0xFF, 0x00}), PHONE_MODE_DL);
}

TEST(ClassifyReply, ShortOrShiftedRepliesMatchNothing) {
    // "at\r\r\nOK\r\n" alone: only the 12-byte form with the echoed frame tail is DS.
    EXPECT_EQ(Classify({0x61, 0x74, 0x0D, 0x0D, 0x0A, 0x4F, 0x4B, 0x0D, 0x0A}), PHONE_MODE_UNKNOWN);
    EXPECT_EQ(Classify({0x14, 0x61, 0x74, 0x0D, 0x1C, 0xD5, 0x7D}), PHONE_MODE_UNKNOWN);
    EXPECT_EQ(Classify({0x7E, 0x02, 0x6A, 0xD3}), PHONE_MODE_UNKNOWN);
    EXPECT_EQ(Classify({0x00, 0x7E, 0x02, 0x6A, 0xD3, 0x7E}), PHONE_MODE_UNKNOWN);
    EXPECT_EQ(Classify({}), PHONE_MODE_UNKNOWN);
    EXPECT_EQ(ClassifyReply(nullptr, 12), PHONE_MODE_UNKNOWN);
}

TEST(ClassifyReplyPrefix, WaitsOnlyWhileThePiecesSoFarStartAPattern) {
    auto verdict = [](const std::vector<uint8_t>& bytes) { return ClassifyReplyPrefix(bytes.data(), bytes.size()); };
    // The echo "at\r" alone, the first half of a DIAG answer, the opening flag of a DL one.
    for (const auto& start :
         std::vector<std::vector<uint8_t>>{{0x61, 0x74, 0x0D}, {0x14, 0x61, 0x74, 0x0D}, {0x7E}, {0x13}, {}}) {
        EXPECT_FALSE(verdict(start).final) << start.size();
        EXPECT_EQ(verdict(start).mode, PHONE_MODE_UNKNOWN);
    }
    // A byte no pattern starts with, or a start gone astray, is final at once.
    EXPECT_TRUE(verdict({0x00}).final);
    EXPECT_TRUE(verdict({0x61, 0x74, 0x0D, 0x0A}).final);
    EXPECT_TRUE(verdict({0x7E, 0x7E}).final);
    const ReplyVerdict dl = verdict({0x7E, 0x02, 0x6A, 0xD3, 0x7E});
    EXPECT_TRUE(dl.final);
    EXPECT_EQ(dl.mode, PHONE_MODE_DL);
}

TEST(IsWholeDetectionReply, EndsAtTheSecondFlag) {
    const std::vector<uint8_t> ds = {0x61, 0x74, 0x0D, 0x0D, 0x0A, 0x4F, 0x4B, 0x0D, 0x0A, 0x1C, 0xD5, 0x7E};
    EXPECT_FALSE(IsWholeDetectionReply(ds.data(), ds.size()));  // the echo of the no-operation is still to come
    std::vector<uint8_t> whole = ds;
    whole.insert(whole.end(), {0x06, 0x4E, 0x95, 0x7E});
    EXPECT_TRUE(IsWholeDetectionReply(whole.data(), whole.size()));
    const std::vector<uint8_t> dl = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};
    EXPECT_TRUE(IsWholeDetectionReply(dl.data(), dl.size()));
    // An escaped flag inside a DIAG answer is no flag.
    const std::vector<uint8_t> diag = {0x14, 0x61, 0x74, 0x0D, 0x1C, 0xD5, 0x7D, 0x5E, 0x12, 0x34, 0x7E};
    EXPECT_FALSE(IsWholeDetectionReply(diag.data(), diag.size()));
    EXPECT_FALSE(IsWholeDetectionReply(nullptr, 5));
}

TEST(ClassifyReply, DetectionPacketIsAtPlusDiagFramePlusNoOperation) {
    ASSERT_EQ(kDetectionPacketSize, 10u);
    EXPECT_EQ(kDetectionPacket[0], 0x61);
    EXPECT_EQ(kDetectionPacket[5], 0x7E);
    EXPECT_EQ(kDetectionPacket[6], 0x06);
    EXPECT_EQ(kDetectionPacket[9], 0x7E);
}

std::vector<uint8_t> VersionReply(const char* platform) {
    std::vector<uint8_t> reply(100, 0);
    for (size_t i = 0; i < 8 && platform[i]; ++i) reply[kPlatformTextOffset + i] = static_cast<uint8_t>(platform[i]);
    return reply;
}

TEST(PlatformOfVersionReply, NamesThePlatformFromBytes39To46) {
    EXPECT_EQ(PlatformOfVersionReply(VersionReply("CORVANE1").data(), 100), PLATFORM_CORVANE);
    EXPECT_EQ(PlatformOfVersionReply(VersionReply("xMARLETx").data(), 100), PLATFORM_MARLET);
    EXPECT_EQ(PlatformOfVersionReply(VersionReply("MSM5105").data(), 100), PLATFORM_MSM5105);
    EXPECT_EQ(PlatformOfVersionReply(VersionReply("QSC6010").data(), 100), PLATFORM_OTHER);
}

TEST(PlatformOfVersionReply, OtherForAWrongCodeOrAShortReply) {
    std::vector<uint8_t> reply = VersionReply("CORVANE1");
    reply[0] = 0x13;
    EXPECT_EQ(PlatformOfVersionReply(reply.data(), reply.size()), PLATFORM_OTHER);
    reply[0] = 0x00;
    EXPECT_EQ(PlatformOfVersionReply(reply.data(), 46), PLATFORM_OTHER);
    EXPECT_EQ(PlatformOfVersionReply(nullptr, 100), PLATFORM_OTHER);
}

std::vector<uint8_t> StatusReply(uint16_t rf, uint16_t second) {
    std::vector<uint8_t> reply(100, 0);
    reply[0] = 0x0C;
    reply[8] = static_cast<uint8_t>(rf);
    reply[9] = static_cast<uint8_t>(rf >> 8);
    reply[32] = static_cast<uint8_t>(second);
    reply[33] = static_cast<uint8_t>(second >> 8);
    return reply;
}

TEST(StatusWords, ReadFromBytes8And32WithoutEscapes) {
    std::vector<uint8_t> reply = StatusReply(1, 2);
    StatusWords words = ReadStatusWords(reply.data(), reply.size());
    EXPECT_EQ(words.rfMode, 1);
    EXPECT_EQ(words.second, 2);
    EXPECT_TRUE(IsOfflineStatus(words));
}

TEST(StatusWords, EachEscapeAmongTheFirstBytesShiftsBothWords) {
    std::vector<uint8_t> reply = StatusReply(0, 6);
    // Two escaped bytes among the first eight: 7D 5E twice, so every later byte moves by two.
    reply.insert(reply.begin() + 2, 0x7D);
    reply.insert(reply.begin() + 5, 0x7D);
    reply[6] = 0x5E;
    StatusWords words = ReadStatusWords(reply.data(), reply.size());
    EXPECT_EQ(words.rfMode, 0);
    EXPECT_EQ(words.second, 6);
    EXPECT_TRUE(IsOfflineStatus(words));
    // Read at the fixed positions, the same bytes would not show the offline status.
    StatusWords naive{static_cast<uint16_t>(reply[8] | reply[9] << 8),
                      static_cast<uint16_t>(reply[32] | reply[33] << 8)};
    EXPECT_FALSE(IsOfflineStatus(naive));
}

TEST(StatusWords, EscapeRightAfterTheEighthByteIsPassedOver) {
    std::vector<uint8_t> reply = StatusReply(0, 0);
    reply.insert(reply.begin() + 8, 0x7D);  // bytes 0..7 counted, then 7D, then the RF word
    reply[9] = 0x01;
    reply[10] = 0x00;
    reply[33] = 0x02;  // second word right after the 32nd counted byte (index 32)
    StatusWords words = ReadStatusWords(reply.data(), reply.size());
    EXPECT_EQ(words.rfMode, 1);
    EXPECT_EQ(words.second, 2);
}

TEST(StatusWords, OfflineOnlyForTheTwoCombinations) {
    EXPECT_TRUE(IsOfflineStatus({0, 6}));
    EXPECT_TRUE(IsOfflineStatus({1, 2}));
    EXPECT_FALSE(IsOfflineStatus({0, 2}));
    EXPECT_FALSE(IsOfflineStatus({1, 6}));
    EXPECT_FALSE(IsOfflineStatus({1, 0}));
}

TEST(StatusWords, ShortOrAllEscapeRepliesReadAsZeroPastTheEnd) {
    std::vector<uint8_t> escapes(100, 0x7D);
    StatusWords words = ReadStatusWords(escapes.data(), escapes.size());
    EXPECT_EQ(words.rfMode, 0);
    EXPECT_EQ(words.second, 0);
    uint8_t shortReply[10] = {0x0C, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x00};
    words = ReadStatusWords(shortReply, sizeof shortReply);
    EXPECT_EQ(words.rfMode, 1);
    EXPECT_EQ(words.second, 0);
}

}  // namespace
