// SPDX-License-Identifier: Apache-2.0
#include "engine/dl_packets.h"

#include <cstring>

namespace dlpacket {

void BuildWritePacket(uint8_t* packet, uint32_t address, const uint8_t* data, size_t length) {
    if (length > WRITE_DATA_MAX) length = WRITE_DATA_MAX;
    packet[0] = CMD_DOWNLOAD;
    packet[1] = ACTION_WRITE;
    packet[2] = static_cast<uint8_t>(address);
    packet[3] = static_cast<uint8_t>(address >> 8);
    packet[4] = static_cast<uint8_t>(address >> 16);
    packet[5] = static_cast<uint8_t>(address >> 24);
    packet[6] = static_cast<uint8_t>(length);
    packet[7] = static_cast<uint8_t>(length >> 8);
    std::memcpy(packet + WRITE_HEADER_SIZE, data, length);
    std::memset(packet + WRITE_HEADER_SIZE + length, 0, WRITE_DATA_MAX - length);
}

}  // namespace dlpacket
