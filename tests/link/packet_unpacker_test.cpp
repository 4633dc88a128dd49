// SPDX-License-Identifier: Apache-2.0
#include "link/packet_unpacker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "link/crc.h"
#include "link/packet_packer.h"
#include "log_capture.h"
#include "worked_frames.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t MODE_DIAG = PHONE_MODE_DIAG;
constexpr int32_t MODE_DL = PHONE_MODE_DL;

// The result of every byte, in order.
std::vector<int32_t> Feed(CPacketUnpacker& unpacker, const Bytes& bytes) {
    std::vector<int32_t> results;
    for (uint8_t b : bytes) results.push_back(unpacker.PutByte(b));
    return results;
}

Bytes Payload(const CPacketUnpacker& unpacker, int32_t length) {
    return Bytes(unpacker.GetBuffer(), unpacker.GetBuffer() + length);
}

// Payload plus its CRC bytes, unescaped, as the decoder collects them.
Bytes WithCrc(Bytes payload) {
    const uint16_t crc = Crc16Calc(payload.data(), static_cast<uint32_t>(payload.size() * 8));
    payload.push_back(static_cast<uint8_t>(crc & 0xFF));
    payload.push_back(static_cast<uint8_t>(crc >> 8));
    return payload;
}

Bytes Escaped(const Bytes& bytes) {
    Bytes out;
    for (uint8_t b : bytes) {
        if (FrameByteNeedsEscape(b)) {
            out.push_back(FRAME_ESCAPE);
            out.push_back(b ^ FRAME_ESCAPE_XOR);
        } else {
            out.push_back(b);
        }
    }
    return out;
}

TEST(CPacketUnpacker, StartsEmptyWithAZeroedBuffer) {
    CPacketUnpacker unpacker;
    EXPECT_EQ(unpacker.GetCount(), 0);
    EXPECT_EQ(unpacker.GetState(), CPacketUnpacker::STATE_NORMAL);
    const uint8_t* buffer = unpacker.GetBuffer();
    EXPECT_TRUE(std::all_of(buffer, buffer + CPacketUnpacker::BUFFER_SIZE, [](uint8_t b) { return b == 0; }));
}

TEST(CPacketUnpacker, DlFrameWithOpeningFlag) {
    CPacketUnpacker unpacker;
    unpacker.SetMode(MODE_DL);
    EXPECT_EQ(Feed(unpacker, {0x7E, 0x02, 0x6A, 0xD3, 0x7E}), (std::vector<int32_t>{0, 0, 0, 0, 1}));
    EXPECT_EQ(unpacker.GetBuffer()[0], 0x02);
    // A finished frame stays as it is until the owner resets.
    EXPECT_EQ(unpacker.GetCount(), 3);
    EXPECT_EQ(unpacker.GetState(), CPacketUnpacker::STATE_NORMAL);
    unpacker.Reset();
    EXPECT_EQ(unpacker.GetCount(), 0);
    EXPECT_EQ(unpacker.GetBuffer()[0], 0x02) << "Reset leaves the buffer contents";
}

TEST(CPacketUnpacker, DiagFrameCompletesAtItsClosingFlag) {
    CPacketUnpacker unpacker;
    unpacker.SetMode(MODE_DIAG);
    EXPECT_EQ(Feed(unpacker, {0x61, 0x74, 0x0D, 0x1C, 0xD5, 0x7E}), (std::vector<int32_t>{0, 0, 0, 0, 0, 3}));
    EXPECT_EQ(Payload(unpacker, 3), (Bytes{0x61, 0x74, 0x0D}));
}

TEST(CPacketUnpacker, WorkedDiagFramesDecodeInEveryNonDlMode) {
    for (int32_t mode : {PHONE_MODE_NONE, PHONE_MODE_UNKNOWN, PHONE_MODE_DS, PHONE_MODE_DIAG}) {
        for (const WorkedFrame& f : WorkedFrames()) {
            CPacketUnpacker unpacker;
            unpacker.SetMode(mode);
            const std::vector<int32_t> results = Feed(unpacker, f.diag);
            EXPECT_TRUE(std::all_of(results.begin(), results.end() - 1, [](int32_t r) { return r == 0; }));
            ASSERT_EQ(results.back(), static_cast<int32_t>(f.payload.size())) << "mode " << mode;
            EXPECT_EQ(Payload(unpacker, results.back()), f.payload);
        }
    }
}

// The byte after the opening flag is taken as it is, so DL frames whose payload starts with a
// flag value only decode in that raw form; the others decode like their DIAG form.
TEST(CPacketUnpacker, WorkedDlFramesDecode) {
    for (const WorkedFrame& f : WorkedFrames()) {
        if (FrameByteNeedsEscape(f.payload[0])) continue;
        CPacketUnpacker unpacker;
        unpacker.SetMode(MODE_DL);
        const std::vector<int32_t> results = Feed(unpacker, f.dl);
        ASSERT_EQ(results.back(), static_cast<int32_t>(f.payload.size()));
        EXPECT_EQ(Payload(unpacker, results.back()), f.payload);
    }
}

TEST(CPacketUnpacker, DlFirstByteAfterOpeningFlagIsNotUnescaped) {
    for (uint8_t first : {uint8_t{0x7E}, uint8_t{0x7D}}) {
        const Bytes collected = WithCrc({first, 0x02});
        Bytes wire = {0x7E, first};  // the opening flag, then the first byte raw
        const Bytes rest = Escaped(Bytes(collected.begin() + 1, collected.end()));
        wire.insert(wire.end(), rest.begin(), rest.end());
        wire.push_back(0x7E);
        CPacketUnpacker unpacker;
        unpacker.SetMode(MODE_DL);
        const std::vector<int32_t> results = Feed(unpacker, wire);
        ASSERT_EQ(results.back(), 2) << int(first);
        EXPECT_EQ(Payload(unpacker, 2), (Bytes{first, 0x02}));
    }
}

TEST(CPacketUnpacker, DlFrameWithoutOpeningFlagHuntsForTheNextFlag) {
    CPacketUnpacker unpacker;
    unpacker.SetMode(MODE_DL);
    EXPECT_EQ(unpacker.PutByte(0x02), CPacketUnpacker::RESULT_NO_OPENING);
    EXPECT_EQ(unpacker.GetState(), CPacketUnpacker::STATE_HUNTING);
    EXPECT_EQ(Feed(unpacker, {0x6A, 0xD3, 0x7D}), (std::vector<int32_t>{-1, -1, -1}));
    EXPECT_EQ(unpacker.PutByte(0x7E), CPacketUnpacker::RESULT_HUNTING);
    EXPECT_EQ(unpacker.GetState(), CPacketUnpacker::STATE_NORMAL);
    EXPECT_EQ(unpacker.GetCount(), 0);
    // The next frame decodes normally.
    EXPECT_EQ(Feed(unpacker, {0x7E, 0x06, 0x4E, 0x95, 0x7E}).back(), 1);
    EXPECT_EQ(unpacker.GetBuffer()[0], 0x06);
}

TEST(CPacketUnpacker, LoneFlagInDiagGivesBothErrorLinesAndIsDiscarded) {
    LogCapture log;
    ASSERT_TRUE(log.Opened());
    CPacketUnpacker unpacker;
    unpacker.SetMode(MODE_DIAG);
    EXPECT_EQ(unpacker.PutByte(0x7E), CPacketUnpacker::RESULT_BAD_FRAME);
    EXPECT_EQ(unpacker.GetCount(), 0);
    EXPECT_EQ(unpacker.GetState(), CPacketUnpacker::STATE_NORMAL);
    EXPECT_EQ(log.ErrorMessages(), (std::vector<std::string>{
                                       "The length of buffer including CRC should be larger than 2.",
                                       "The 0 bytes buffer content is: ",
                                       "CRC checking fails.",
                                       "The 0 bytes buffer content is: ",
                                   }));
}

TEST(CPacketUnpacker, OneByteFrameIsTooShort) {
    LogCapture log;
    CPacketUnpacker unpacker;
    unpacker.SetMode(MODE_DIAG);
    EXPECT_EQ(Feed(unpacker, {0x7D, 0x5E, 0x7E}), (std::vector<int32_t>{0, 0, -3}));
    const auto messages = log.ErrorMessages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], "The length of buffer including CRC should be larger than 2.");
    EXPECT_EQ(messages[1], "The 1 bytes buffer content is: 7E ");
    EXPECT_EQ(messages[2], "CRC checking fails.");
}

TEST(CPacketUnpacker, BadCrcIsLoggedWithTheCollectedBytesAndDiscarded) {
    LogCapture log;
    CPacketUnpacker unpacker;
    unpacker.SetMode(MODE_DIAG);
    EXPECT_EQ(Feed(unpacker, {0x06, 0x4E, 0x96, 0x7E}), (std::vector<int32_t>{0, 0, 0, -3}));
    EXPECT_EQ(unpacker.GetCount(), 0);
    EXPECT_EQ(unpacker.GetState(), CPacketUnpacker::STATE_NORMAL);
    EXPECT_EQ(log.ErrorMessages(), (std::vector<std::string>{
                                       "CRC checking fails.",
                                       "The 3 bytes buffer content is: 06 4E 96 ",
                                   }));
    // The decoder goes on with the next frame without a reset.
    EXPECT_EQ(Feed(unpacker, {0x06, 0x4E, 0x95, 0x7E}).back(), 1);
}

// The check takes its bit count in 16 bits: 8191 collected bytes still pass, 8192 never do,
// not even when a prefix of the frame would pass on its own (the wrapped-around bit count).
TEST(CPacketUnpacker, FramesOf8192BytesOrMoreFailTheCheck) {
    std::mt19937 rng(8192);
    auto randomPayload = [&](size_t length) {
        Bytes payload(length);
        for (auto& b : payload) b = static_cast<uint8_t>(rng());
        return payload;
    };
    for (size_t payloadLength : {size_t{8189}, size_t{8190}, size_t{9000}}) {
        const Bytes payload = randomPayload(payloadLength);
        CPacketUnpacker unpacker;
        unpacker.SetMode(MODE_DIAG);
        const int32_t result = Feed(unpacker, PackPacket(payload, FRAME_NO_LEAD, FRAME_FLAG)).back();
        if (payloadLength + 2 < 8192) {
            ASSERT_EQ(result, static_cast<int32_t>(payloadLength));
            EXPECT_EQ(Payload(unpacker, result), payload);
        } else {
            EXPECT_EQ(result, CPacketUnpacker::RESULT_BAD_FRAME) << payloadLength;
        }
    }
    // 8192 + 5 bytes whose first 5 are a good frame: a wrapped bit count of 40 would accept it.
    Bytes collected = WithCrc({0x01, 0x02, 0x03});
    const Bytes filler(8192, 0x55);
    collected.insert(collected.end(), filler.begin(), filler.end());
    CPacketUnpacker unpacker;
    unpacker.SetMode(MODE_DIAG);
    Feed(unpacker, collected);
    EXPECT_EQ(unpacker.GetCount(), 8197);
    EXPECT_EQ(unpacker.PutByte(0x7E), CPacketUnpacker::RESULT_BAD_FRAME);
}

TEST(CPacketUnpacker, OversizedFrameIsDroppedAndItsTailSkipped) {
    for (int32_t mode : {MODE_DIAG, MODE_DL}) {
        LogCapture log;
        CPacketUnpacker unpacker;
        unpacker.SetMode(mode);
        if (mode == MODE_DL) {
            ASSERT_EQ(unpacker.PutByte(0x7E), 0);
        }
        const Bytes fill(CPacketUnpacker::BUFFER_SIZE, 0x41);
        const std::vector<int32_t> results = Feed(unpacker, fill);
        ASSERT_TRUE(std::all_of(results.begin(), results.end(), [](int32_t r) { return r == 0; }));
        ASSERT_EQ(unpacker.GetCount(), CPacketUnpacker::BUFFER_SIZE);
        // An escaped byte that would not fit.
        EXPECT_EQ(unpacker.PutByte(0x7D), 0);
        EXPECT_EQ(unpacker.PutByte(0x5E), CPacketUnpacker::RESULT_BAD_FRAME);
        EXPECT_EQ(unpacker.GetCount(), 0);
        EXPECT_EQ(unpacker.GetState(), CPacketUnpacker::STATE_HUNTING);
        // The rest of the long frame, with its closing flag, is skipped.
        EXPECT_EQ(Feed(unpacker, {0x41, 0x42, 0x7D, 0x7E}), (std::vector<int32_t>{-1, -1, -1, -1}));
        const WorkedFrame& next = WorkedFrames()[2];
        EXPECT_EQ(Feed(unpacker, mode == MODE_DL ? next.dl : next.diag).back(), 3);
        EXPECT_EQ(Payload(unpacker, 3), next.payload);
        EXPECT_EQ(log.ErrorMessages(), (std::vector<std::string>{"Frame longer than 16384 bytes discarded."}));
    }
}

TEST(CPacketUnpacker, OversizedFrameThroughTheBulkFeed) {
    CPacketUnpacker unpacker;
    unpacker.SetMode(MODE_DIAG);
    Bytes stream(CPacketUnpacker::BUFFER_SIZE + 100, 0x41);
    stream.push_back(0x7E);
    const Bytes good = WorkedFrames()[0].diag;
    stream.insert(stream.end(), good.begin(), good.end());

    size_t taken = 0;
    EXPECT_EQ(unpacker.PutBytes(stream.data(), stream.size(), taken), CPacketUnpacker::RESULT_BAD_FRAME);
    EXPECT_EQ(taken, static_cast<size_t>(CPacketUnpacker::BUFFER_SIZE + 1));
    size_t offset = taken;
    // Hunting: one -1 per byte up to and including the flag.
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(unpacker.PutBytes(stream.data() + offset, stream.size() - offset, taken), -1);
        offset += taken;
    }
    EXPECT_EQ(unpacker.GetState(), CPacketUnpacker::STATE_NORMAL);
    EXPECT_EQ(unpacker.PutBytes(stream.data() + offset, stream.size() - offset, taken), 1);
    EXPECT_EQ(offset + taken, stream.size());
}

TEST(CPacketUnpacker, RoundTripOfRandomPayloadsInBothModes) {
    std::mt19937 rng(2024);
    for (int32_t mode : {MODE_DIAG, MODE_DL}) {
        CPacketUnpacker unpacker;
        unpacker.SetMode(mode);
        for (int round = 0; round < 300; ++round) {
            Bytes payload(1 + rng() % 1200);
            for (auto& b : payload) b = static_cast<uint8_t>(rng() % 3 == 0 ? 0x7D + rng() % 2 : rng());
            // DL responses open with a command code; the byte after the flag is taken raw.
            if (mode == MODE_DL && FrameByteNeedsEscape(payload[0])) payload[0] = 0x02;
            const Bytes wire = PackPacket(payload, mode == MODE_DL ? FRAME_FLAG : FRAME_NO_LEAD, FRAME_FLAG);
            const std::vector<int32_t> results = Feed(unpacker, wire);
            ASSERT_TRUE(std::all_of(results.begin(), results.end() - 1, [](int32_t r) { return r == 0; }));
            ASSERT_EQ(results.back(), static_cast<int32_t>(payload.size()));
            ASSERT_EQ(Payload(unpacker, results.back()), payload);
            unpacker.Reset();
        }
    }
}

// PutBytes must behave exactly as PutByte in a loop that stops at the first non-zero result.
TEST(CPacketUnpacker, BulkFeedMatchesBytewiseFeedOnNoisyStreams) {
    std::mt19937 rng(77);
    for (int32_t mode : {MODE_DIAG, MODE_DL}) {
        std::map<int32_t, int> seen;  // how often each result came, to show every path was taken
        for (int round = 0; round < 40; ++round) {
            // Good frames, frames with a flipped byte, cut frames, noise and flag-free runs
            // longer than the buffer.
            Bytes stream;
            while (stream.size() < 40000) {
                Bytes payload(1 + rng() % 700);
                for (auto& b : payload) b = static_cast<uint8_t>(rng() % 5 == 0 ? 0x7D + rng() % 2 : rng());
                Bytes piece = PackPacket(payload, mode == MODE_DL ? FRAME_FLAG : FRAME_NO_LEAD, FRAME_FLAG);
                switch (rng() % 6) {
                case 1: piece[rng() % piece.size()] ^= static_cast<uint8_t>(1 + rng() % 255); break;
                case 2: piece.resize(rng() % piece.size()); break;
                case 3:
                    piece.assign(1 + rng() % 3000, 0);
                    for (auto& b : piece) b = static_cast<uint8_t>(rng());
                    break;
                case 4:
                    if (rng() % 4 == 0) {
                        piece.assign(16000 + rng() % 1000, 0x41);
                        if (mode == MODE_DL) piece[0] = FRAME_FLAG;
                    }
                    break;
                default: break;
                }
                stream.insert(stream.end(), piece.begin(), piece.end());
            }
            CPacketUnpacker bytewise, bulk;
            bytewise.SetMode(mode);
            bulk.SetMode(mode);
            size_t bytewisePos = 0, bulkPos = 0;
            while (bytewisePos < stream.size()) {
                int32_t expected = 0;
                while (bytewisePos < stream.size() && expected == 0) expected = bytewise.PutByte(stream[bytewisePos++]);
                int32_t result = 0;
                while (bulkPos < stream.size() && result == 0) {
                    const size_t chunk = std::min(stream.size() - bulkPos, size_t{1} + rng() % 5000);
                    size_t taken = 0;
                    result = bulk.PutBytes(stream.data() + bulkPos, chunk, taken);
                    bulkPos += taken;
                }
                ASSERT_EQ(result, expected) << "at " << bytewisePos;
                ASSERT_EQ(bulkPos, bytewisePos);
                ASSERT_EQ(bulk.GetCount(), bytewise.GetCount());
                ASSERT_EQ(bulk.GetState(), bytewise.GetState());
                ASSERT_TRUE(std::equal(bulk.GetBuffer(), bulk.GetBuffer() + bulk.GetCount(), bytewise.GetBuffer()));
                ++seen[expected > 0 ? 1 : expected];
                if (expected > 0) {
                    bytewise.Reset();
                    bulk.Reset();
                }
            }
        }
        EXPECT_GT(seen[1], 100);
        EXPECT_GT(seen[CPacketUnpacker::RESULT_BAD_FRAME], 10);
        EXPECT_GT(seen[CPacketUnpacker::RESULT_HUNTING], 10);
        if (mode == MODE_DL) {
            EXPECT_GT(seen[CPacketUnpacker::RESULT_NO_OPENING], 10);
        }
    }
}

}  // namespace
