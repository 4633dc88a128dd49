// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

// Request bytes of the download commands and the layout of their responses (little-endian).
namespace dlpacket {

constexpr uint8_t VERSION_QUERY[4] = {0x4B, 0x00, 0x01, 0x00};  // DIAG subsystem 0, command 1
constexpr uint8_t INIT_DOWNLOAD[2] = {0x70, 0x00};
constexpr uint8_t FINAL_DOWNLOAD[2] = {0x70, 0x02};
constexpr uint8_t WRITE_TO_NAND[2] = {0x70, 0x04};
constexpr uint8_t NOP[1] = {0x06};
constexpr uint8_t RESET[1] = {0x0A};

constexpr uint8_t CMD_DOWNLOAD = 0x70;  // echoed in byte 0 of every 0x70 response
constexpr uint8_t ACTION_WRITE = 0x01;
constexpr uint8_t ACK = 0x02;  // answer to the no-operation

constexpr size_t WRITE_PACKET_SIZE = 520;
constexpr size_t WRITE_DATA_MAX = 512;
constexpr size_t WRITE_HEADER_SIZE = WRITE_PACKET_SIZE - WRITE_DATA_MAX;

// Response buffer sizes: each is also the longest response accepted.
constexpr int32_t RESPONSE_VERSION = 91;
constexpr int32_t RESPONSE_DOWNLOAD = 3;
constexpr int32_t RESPONSE_BLOCK = 8193;
constexpr int32_t RESPONSE_BLOCK_CHECK = 4096;
constexpr int32_t RESPONSE_NOP = 10;

// Version response: the handset's two version numbers.
constexpr size_t VERSION_BYTE_MAJOR = 6;
constexpr size_t VERSION_BYTE_MINOR = 7;

// Fills the 520-byte write packet: 0x70 0x01, the address, the data length, length data bytes
// and zeros after them. length is at most WRITE_DATA_MAX (a longer one is cut to it).
void BuildWritePacket(uint8_t* packet, uint32_t address, const uint8_t* data, size_t length);

// The 16-bit status at byte 1 of a 0x70 response.
inline uint16_t ResponseStatus(const uint8_t* response) {
    return static_cast<uint16_t>(response[1] | (response[2] << 8));
}

}  // namespace dlpacket
