// SPDX-License-Identifier: Apache-2.0
#include "link/crc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "link/crc_reference.h"
#include "link/crc_tables.h"

namespace {

const uint8_t DIGITS[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t count) {
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

TEST(CrcTables, FirstEntriesFollowTheTableRule) {
    EXPECT_EQ(CRC16_TABLE[0], 0x0000);
    EXPECT_EQ(CRC16_TABLE[1], 0x1189);
    EXPECT_EQ(CRC16_TABLE[2], 0x2312);
    EXPECT_EQ(CRC16_TABLE[128], 0x8408);
    EXPECT_EQ(CRC30_TABLE[0], 0x00000000u);
    EXPECT_EQ(CRC30_TABLE[1], 0x2030B9C7u);
    EXPECT_EQ(CRC30_TABLE[2], 0x2051CA49u);
    EXPECT_EQ(CRC30_TABLE[3], 0x0061738Eu);
    for (uint32_t entry : CRC30_TABLE) EXPECT_EQ(entry & ~CRC30_MASK, 0u);
}

TEST(CrcCheckValues, NineDigits) {
    EXPECT_EQ(Crc16Calc(DIGITS, 9 * 8), 0x906E);
    EXPECT_EQ(Crc30Calc(DIGITS, 9 * 8), 0x04C34ABFu);
    EXPECT_EQ(Crc16Reference(DIGITS, 9 * 8), 0x906E);
    EXPECT_EQ(Crc30Reference(DIGITS, 9 * 8), 0x04C34ABFu);
}

TEST(CrcCheckValues, EmptyInputAndNullPointer) {
    // The complemented initial register.
    EXPECT_EQ(Crc16Calc(DIGITS, 0), 0x0000);
    EXPECT_EQ(Crc30Calc(DIGITS, 0), 0u);
    EXPECT_EQ(Crc16Calc(nullptr, 800), 0x0000);
    EXPECT_EQ(Crc30Calc(nullptr, 800), 0u);
}

TEST(CrcCheckValues, OnlyWholeBytesCount) {
    for (uint32_t extra = 1; extra < 8; ++extra) {
        EXPECT_EQ(Crc16Calc(DIGITS, 8 * 8 + extra), Crc16Calc(DIGITS, 8 * 8));
        EXPECT_EQ(Crc30Calc(DIGITS, 8 * 8 + extra), Crc30Calc(DIGITS, 8 * 8));
    }
    EXPECT_NE(Crc16Calc(DIGITS, 8 * 8), Crc16Calc(DIGITS, 9 * 8));
}

TEST(Crc16GoodFrame, PayloadFollowedByItsCrcGivesTheConstant) {
    std::mt19937 rng(16);
    for (size_t length = 0; length < 300; ++length) {
        std::vector<uint8_t> frame = RandomBytes(rng, length);
        const uint16_t crc = Crc16Calc(frame.data(), static_cast<uint32_t>(length * 8));
        frame.push_back(static_cast<uint8_t>(crc & 0xFF));
        frame.push_back(static_cast<uint8_t>(crc >> 8));
        ASSERT_EQ(Crc16Calc(frame.data(), static_cast<uint32_t>(frame.size() * 8)), CRC16_GOOD_FRAME)
            << "length " << length;
        frame.back() ^= 0x01;
        ASSERT_NE(Crc16Calc(frame.data(), static_cast<uint32_t>(frame.size() * 8)), CRC16_GOOD_FRAME);
    }
}

// The sliced routines against the one-table rule, at every length around the 16-byte blocks and
// at unaligned start addresses.
TEST(CrcFastVsReference, RandomDataEveryLengthAndAlignment) {
    std::mt19937 rng(1234);
    const std::vector<uint8_t> data = RandomBytes(rng, 4096 + 64);
    for (size_t offset = 0; offset < 16; ++offset) {
        for (size_t length = 0; length <= 200; ++length) {
            const uint8_t* p = data.data() + offset;
            const uint32_t bits = static_cast<uint32_t>(length * 8);
            ASSERT_EQ(Crc16Calc(p, bits), Crc16Reference(p, bits)) << offset << "/" << length;
            ASSERT_EQ(Crc30Calc(p, bits), Crc30Reference(p, bits)) << offset << "/" << length;
        }
    }
    for (int round = 0; round < 200; ++round) {
        const size_t offset = rng() % 64;
        const size_t length = rng() % 4097;
        const uint32_t bits = static_cast<uint32_t>(length * 8 + rng() % 8);
        const uint8_t* p = data.data() + offset;
        ASSERT_EQ(Crc16Calc(p, bits), Crc16Reference(p, bits));
        ASSERT_EQ(Crc30Calc(p, bits), Crc30Reference(p, bits));
    }
}

TEST(CrcFastVsReference, PatternsThatStressTheRegister) {
    for (uint8_t fill : {0x00, 0xFF, 0x7E, 0x80, 0x01}) {
        const std::vector<uint8_t> data(1000, fill);
        const uint32_t bits = static_cast<uint32_t>(data.size() * 8);
        EXPECT_EQ(Crc16Calc(data.data(), bits), Crc16Reference(data.data(), bits)) << int(fill);
        EXPECT_EQ(Crc30Calc(data.data(), bits), Crc30Reference(data.data(), bits)) << int(fill);
    }
}

// Feeds data to Crc30CalcPart in chunks ending at the given offsets; returns the finished CRC.
uint32_t ChunkedCrc30(const uint8_t* data, const std::vector<size_t>& cuts, size_t length) {
    size_t start = 0;
    uint32_t result = 0;
    for (size_t i = 0; i <= cuts.size(); ++i) {
        const size_t end = i < cuts.size() ? cuts[i] : length;
        const int phase = i == 0 ? CRC30_FIRST : i == cuts.size() ? CRC30_LAST : CRC30_MIDDLE;
        result = Crc30CalcPart(data + start, static_cast<uint32_t>((end - start) * 8), phase);
        start = end;
    }
    return result;
}

TEST(Crc30CalcPart, EverySplitOfTheDigitsGivesTheCheckValue) {
    for (size_t a = 0; a <= 9; ++a) {
        EXPECT_EQ(ChunkedCrc30(DIGITS, {a}, 9), 0x04C34ABFu) << a;
        for (size_t b = a; b <= 9; ++b) {
            EXPECT_EQ(ChunkedCrc30(DIGITS, {a, b}, 9), 0x04C34ABFu) << a << "," << b;
        }
    }
}

TEST(Crc30CalcPart, ReturnsTheRunningRegisterBetweenChunks) {
    const uint32_t afterFirst = Crc30CalcPart(DIGITS, 4 * 8, CRC30_FIRST);
    EXPECT_EQ(afterFirst, Crc30ReferenceUpdate(CRC30_INIT, DIGITS, 4) & CRC30_MASK);
    const uint32_t afterMiddle = Crc30CalcPart(DIGITS + 4, 3 * 8, CRC30_MIDDLE);
    EXPECT_EQ(afterMiddle, Crc30ReferenceUpdate(CRC30_INIT, DIGITS, 7) & CRC30_MASK);
    EXPECT_EQ(Crc30CalcPart(DIGITS + 7, 2 * 8, CRC30_LAST), 0x04C34ABFu);
}

TEST(Crc30CalcPart, FirstPhaseRestartsAnUnfinishedComputation) {
    Crc30CalcPart(DIGITS, 5 * 8, CRC30_FIRST);
    Crc30CalcPart(DIGITS, 3 * 8, CRC30_MIDDLE);
    Crc30CalcPart(DIGITS, 9 * 8, CRC30_FIRST);
    EXPECT_EQ(Crc30CalcPart(DIGITS, 0, CRC30_LAST), 0x04C34ABFu);
}

TEST(Crc30CalcPart, LastPhaseWithNoBitsFinishesTheFirstChunk) {
    Crc30CalcPart(DIGITS, 5 * 8, CRC30_FIRST);
    EXPECT_EQ(Crc30CalcPart(DIGITS + 5, 0, CRC30_LAST), Crc30Calc(DIGITS, 5 * 8));
}

TEST(Crc30CalcPart, RandomChunkingOfALoadMatchesOneCall) {
    std::mt19937 rng(30);
    const std::vector<uint8_t> load = RandomBytes(rng, 50000);
    const uint32_t whole = Crc30Calc(load.data(), static_cast<uint32_t>(load.size() * 8));
    EXPECT_EQ(whole, Crc30Reference(load.data(), static_cast<uint32_t>(load.size() * 8)));
    for (int round = 0; round < 20; ++round) {
        std::vector<size_t> cuts;
        for (size_t at = rng() % 5000; at < load.size(); at += rng() % 5000) cuts.push_back(at);
        ASSERT_EQ(ChunkedCrc30(load.data(), cuts, load.size()), whole);
    }
    // The package check's shape: 4096-byte chunks, the last one short.
    std::vector<size_t> cuts;
    for (size_t at = 4096; at < load.size(); at += 4096) cuts.push_back(at);
    EXPECT_EQ(ChunkedCrc30(load.data(), cuts, load.size()), whole);
}

}  // namespace
