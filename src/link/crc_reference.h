// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

// The plain one-table-look-up-per-byte CRC routines. They define the results the fast routines
// of crc.h must reproduce bit for bit; tests and benchmarks compare against them.

// Register steps over count bytes, without initial value or final complement.
uint16_t Crc16ReferenceUpdate(uint16_t reg, const uint8_t* data, size_t count);
uint32_t Crc30ReferenceUpdate(uint32_t reg, const uint8_t* data, size_t count);

// Whole CRCs with the same contract as Crc16Calc and Crc30Calc (lengths in bits).
uint16_t Crc16Reference(const uint8_t* data, uint32_t bitCount);
uint32_t Crc30Reference(const uint8_t* data, uint32_t bitCount);
