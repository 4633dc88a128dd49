// SPDX-License-Identifier: Apache-2.0
#include "link/packet_packer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "link/crc.h"
#include "worked_frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(PackPacket, WorkedFramesInBothForms) {
    for (const WorkedFrame& f : WorkedFrames()) {
        EXPECT_EQ(PackPacket(f.payload, FRAME_NO_LEAD, FRAME_FLAG), f.diag);
        EXPECT_EQ(PackPacket(f.payload, FRAME_FLAG, FRAME_FLAG), f.dl);
    }
}

TEST(PackPacket, CallerBufferGetsTheSameBytes) {
    for (const WorkedFrame& f : WorkedFrames()) {
        Bytes out(PackedSizeMax(f.payload.size()), 0xAA);
        const size_t length = PackPacket(f.payload, FRAME_FLAG, FRAME_FLAG, out);
        ASSERT_EQ(length, f.dl.size());
        EXPECT_TRUE(std::equal(f.dl.begin(), f.dl.end(), out.begin()));
        EXPECT_TRUE(std::all_of(out.begin() + length, out.end(), [](uint8_t b) { return b == 0xAA; }));
    }
}

TEST(PackPacket, EmptyPayloadCarriesTheCrcOfNothing) {
    EXPECT_EQ(PackPacket({}, FRAME_NO_LEAD, FRAME_FLAG), (Bytes{0x00, 0x00, 0x7E}));
    EXPECT_EQ(PackPacket({}, FRAME_FLAG, FRAME_FLAG), (Bytes{0x7E, 0x00, 0x00, 0x7E}));
}

TEST(PackPacket, OnlyTheTwoFlagValuesAreEscaped) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    const Bytes frame = PackPacket(all, FRAME_NO_LEAD, FRAME_FLAG);
    // Every value appears as itself except 7D and 7E, which become 7D 5D and 7D 5E.
    Bytes expected;
    for (uint8_t b : all) {
        if (b == 0x7D || b == 0x7E) {
            expected.push_back(0x7D);
            expected.push_back(b ^ 0x20);
        } else {
            expected.push_back(b);
        }
    }
    ASSERT_GE(frame.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame.begin()));
}

TEST(PackPacket, LeadAndTrailAreWrittenUnescaped) {
    const Bytes payload = {0x10, 0x20};
    const uint16_t crc = Crc16Calc(payload.data(), 2 * 8);
    ASSERT_FALSE(FrameByteNeedsEscape(crc & 0xFF) || FrameByteNeedsEscape(crc >> 8));
    const Bytes expected = {0x7D, 0x10, 0x20, static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8), 0x7E};
    EXPECT_EQ(PackPacket(payload, 0x7D, 0x7E), expected);
    const Bytes other = {0x7E, 0x10, 0x20, static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8), 0x7D};
    EXPECT_EQ(PackPacket(payload, 0x7E, 0x7D), other);
}

// A payload of flag values only, whose two CRC bytes are flag values too, needs every byte of
// the worst-case size: the bound is tight and a buffer one byte shorter is refused untouched.
TEST(PackPacket, WorstCaseFrameFillsTheBoundExactly) {
    Bytes worst;
    for (uint32_t bits = 0; bits < (1u << 18) && worst.empty(); ++bits) {
        Bytes candidate(18);
        for (int i = 0; i < 18; ++i) candidate[i] = (bits >> i) & 1 ? 0x7E : 0x7D;
        const uint16_t crc = Crc16Calc(candidate.data(), 18 * 8);
        if (FrameByteNeedsEscape(crc & 0xFF) && FrameByteNeedsEscape(crc >> 8)) worst = candidate;
    }
    ASSERT_FALSE(worst.empty());
    Bytes out(PackedSizeMax(worst.size()));
    EXPECT_EQ(PackPacket(worst, FRAME_FLAG, FRAME_FLAG, out), out.size());

    Bytes shorter(PackedSizeMax(worst.size()) - 1, 0xAA);
    EXPECT_EQ(PackPacket(worst, FRAME_FLAG, FRAME_FLAG, shorter), 0u);
    EXPECT_TRUE(std::all_of(shorter.begin(), shorter.end(), [](uint8_t b) { return b == 0xAA; }));
}

TEST(PackPacket, SmallBufferRefusedEvenWhenTheFrameWouldFit) {
    const Bytes payload = {0x06};
    Bytes out(PackedSizeMax(payload.size()) - 1);  // 7 bytes; the frame needs only 5
    EXPECT_EQ(PackPacket(payload, FRAME_FLAG, FRAME_FLAG, out), 0u);
    EXPECT_EQ(PackPacket(payload, FRAME_FLAG, FRAME_FLAG, std::span<uint8_t>{}), 0u);
}

TEST(PackPacket, FrameCarriesTheCrcOfTheUnescapedPayload) {
    std::mt19937 rng(7);
    for (int round = 0; round < 100; ++round) {
        Bytes payload(1 + rng() % 600);
        for (auto& b : payload) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0x7D + rng() % 2 : rng());
        const Bytes frame = PackPacket(payload, FRAME_NO_LEAD, FRAME_FLAG);
        ASSERT_LE(frame.size(), PackedSizeMax(payload.size()));
        // Undo the escapes and check the payload and its CRC come back.
        Bytes plain;
        for (size_t i = 0; i + 1 < frame.size(); ++i) {
            ASSERT_NE(frame[i], 0x7E) << "an unescaped flag inside the frame";
            plain.push_back(frame[i] == 0x7D ? frame[++i] ^ 0x20 : frame[i]);
        }
        EXPECT_EQ(frame.back(), 0x7E);
        ASSERT_EQ(plain.size(), payload.size() + 2);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), plain.begin()));
        EXPECT_EQ(Crc16Calc(plain.data(), static_cast<uint32_t>(plain.size() * 8)), CRC16_GOOD_FRAME);
    }
}

}  // namespace
