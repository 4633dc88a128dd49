// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstdint>

// The byte tables of the two CRCs and the constants they are built from. Both tables are computed
// at compile time by the classic one-bit-at-a-time rule, so they are constant data.

constexpr uint16_t CRC16_POLY_REFLECTED = 0x8408;  // 0x1021, least significant bit first
constexpr uint16_t CRC16_INIT = 0xFFFF;
constexpr uint32_t CRC30_POLY = 0x2030B9C7;  // most significant bit first
constexpr uint32_t CRC30_MASK = 0x3FFFFFFF;
constexpr uint32_t CRC30_INIT = CRC30_MASK;

using Crc16Table = std::array<uint16_t, 256>;
using Crc30Table = std::array<uint32_t, 256>;

// T16[i]: i shifted right 8 times, XOR-ing the polynomial after each shift that drops a 1 bit.
constexpr Crc16Table MakeCrc16Table() {
    Crc16Table table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint16_t reg = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            reg =
                (reg & 1) ? static_cast<uint16_t>((reg >> 1) ^ CRC16_POLY_REFLECTED) : static_cast<uint16_t>(reg >> 1);
        }
        table[i] = reg;
    }
    return table;
}

// T30[i]: i placed in the top 8 of 30 bits, shifted left 8 times within 30 bits, XOR-ing the
// polynomial after each shift that pushes a 1 out of bit 29.
constexpr Crc30Table MakeCrc30Table() {
    Crc30Table table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t reg = i << 22;
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = (reg & 0x20000000u) != 0;
            reg = (reg << 1) & CRC30_MASK;
            if (carry) reg ^= CRC30_POLY;
        }
        table[i] = reg;
    }
    return table;
}

inline constexpr Crc16Table CRC16_TABLE = MakeCrc16Table();
inline constexpr Crc30Table CRC30_TABLE = MakeCrc30Table();
