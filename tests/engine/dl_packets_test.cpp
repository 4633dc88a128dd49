// SPDX-License-Identifier: Apache-2.0
#include "engine/dl_packets.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(WritePacket, HeaderCarriesAddressAndLengthLittleEndian) {
    std::vector<uint8_t> data(512);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
    uint8_t packet[dlpacket::WRITE_PACKET_SIZE];
    dlpacket::BuildWritePacket(packet, 0x12345678, data.data(), 512);
    EXPECT_EQ(packet[0], 0x70);
    EXPECT_EQ(packet[1], 0x01);
    EXPECT_EQ(packet[2], 0x78);
    EXPECT_EQ(packet[3], 0x56);
    EXPECT_EQ(packet[4], 0x34);
    EXPECT_EQ(packet[5], 0x12);
    EXPECT_EQ(packet[6], 0x00);
    EXPECT_EQ(packet[7], 0x02);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), packet + 8));
}

TEST(WritePacket, ShortDataIsZeroPaddedToFullSize) {
    std::vector<uint8_t> data(188, 0xAB);
    uint8_t packet[dlpacket::WRITE_PACKET_SIZE];
    std::fill(std::begin(packet), std::end(packet), 0xCC);  // stale bytes of an earlier packet
    dlpacket::BuildWritePacket(packet, 0x20200, data.data(), data.size());
    EXPECT_EQ(packet[6], 188);
    EXPECT_EQ(packet[7], 0);
    for (size_t i = 8; i < 8 + 188; ++i) ASSERT_EQ(packet[i], 0xAB) << i;
    for (size_t i = 8 + 188; i < dlpacket::WRITE_PACKET_SIZE; ++i) ASSERT_EQ(packet[i], 0) << i;
}

TEST(WritePacket, OverlongLengthIsCutToOnePacket) {
    std::vector<uint8_t> data(600, 0x11);
    uint8_t packet[dlpacket::WRITE_PACKET_SIZE + 16];
    std::fill(std::begin(packet), std::end(packet), 0xEE);
    dlpacket::BuildWritePacket(packet, 0, data.data(), data.size());
    EXPECT_EQ(packet[6] | (packet[7] << 8), 512);
    // Nothing is written past the 520-byte packet.
    for (size_t i = dlpacket::WRITE_PACKET_SIZE; i < sizeof packet; ++i) ASSERT_EQ(packet[i], 0xEE);
}

TEST(ResponseStatus, ReadsLittleEndianWordAtByteOne) {
    const uint8_t refused[3] = {0x70, 0x02, 0x10};
    EXPECT_EQ(dlpacket::ResponseStatus(refused), 0x1002);
    const uint8_t ok[3] = {0x70, 0x00, 0x00};
    EXPECT_EQ(dlpacket::ResponseStatus(ok), 0);
}

}  // namespace
