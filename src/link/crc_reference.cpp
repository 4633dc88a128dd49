// SPDX-License-Identifier: Apache-2.0
#include "link/crc_reference.h"

#include "link/crc_tables.h"

uint16_t Crc16ReferenceUpdate(uint16_t reg, const uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        reg = static_cast<uint16_t>((reg >> 8) ^ CRC16_TABLE[(reg ^ data[i]) & 0xFF]);
    }
    return reg;
}

uint32_t Crc30ReferenceUpdate(uint32_t reg, const uint8_t* data, size_t count) {
    // Bits above bit 29 may pile up here; they never reach the index or the lower bits.
    for (size_t i = 0; i < count; ++i) {
        reg = (reg << 8) ^ CRC30_TABLE[((reg >> 22) & 0xFF) ^ data[i]];
    }
    return reg;
}

uint16_t Crc16Reference(const uint8_t* data, uint32_t bitCount) {
    return static_cast<uint16_t>(~Crc16ReferenceUpdate(CRC16_INIT, data, bitCount / 8));
}

uint32_t Crc30Reference(const uint8_t* data, uint32_t bitCount) {
    return ~Crc30ReferenceUpdate(CRC30_INIT, data, bitCount / 8) & CRC30_MASK;
}
