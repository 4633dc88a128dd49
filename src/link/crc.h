// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// CRC-16/X-25, the frame CRC: the complemented register over bitCount / 8 bytes.
uint16_t Crc16Calc(const uint8_t* data, uint32_t bitCount);

// CRC-30/CDMA over bitCount / 8 bytes, masked to 30 bits.
uint32_t Crc30Calc(const uint8_t* data, uint32_t bitCount);

// CRC-30/CDMA over data handed in chunks: phase 1 first, 2 middle, 3 last. Returns the register
// masked to 30 bits after the chunk; after phase 3 that is the finished CRC. The running register
// is process-wide: one chunked computation at a time.
uint32_t Crc30CalcPart(const uint8_t* data, uint32_t bitCount, int phase);

// Phases of Crc30CalcPart.
constexpr int CRC30_FIRST = 1;
constexpr int CRC30_MIDDLE = 2;
constexpr int CRC30_LAST = 3;

// The low 16 bits of Crc16Calc over a payload followed by its own CRC (low byte first).
constexpr uint16_t CRC16_GOOD_FRAME = 0x0F47;
