// SPDX-License-Identifier: Apache-2.0
#include "link/crc.h"

#include <atomic>
#include <cstddef>

#include "link/crc_tables.h"

// Slicing-by-16: sixteen tables, where table k gives the register change of a byte followed by k
// zero bytes, let the loop fold 16 input bytes with 16 independent look-ups instead of a chain of
// 16 dependent ones. Results are identical to the one-table rule (crc_reference.h).

namespace {

constexpr int SLICES = 16;

template <typename T>
using SliceTables = std::array<std::array<T, 256>, SLICES>;

// Reflected CRC-16: table k = table k-1 advanced by one zero byte.
constexpr SliceTables<uint16_t> MakeCrc16Slices() {
    SliceTables<uint16_t> t{};
    t[0] = CRC16_TABLE;
    for (int k = 1; k < SLICES; ++k) {
        for (int i = 0; i < 256; ++i) {
            const uint16_t prev = t[k - 1][i];
            t[k][i] = static_cast<uint16_t>((prev >> 8) ^ t[0][prev & 0xFF]);
        }
    }
    return t;
}

// CRC-30 runs here in a 32-bit register with the 30 bits at the top (shifted left by 2), so the
// usual most-significant-bit-first slicing applies and no masking is needed inside the loop.
constexpr SliceTables<uint32_t> MakeCrc30Slices() {
    SliceTables<uint32_t> t{};
    for (int i = 0; i < 256; ++i) t[0][i] = CRC30_TABLE[i] << 2;
    for (int k = 1; k < SLICES; ++k) {
        for (int i = 0; i < 256; ++i) {
            const uint32_t prev = t[k - 1][i];
            t[k][i] = (prev << 8) ^ t[0][prev >> 24];
        }
    }
    return t;
}

constexpr SliceTables<uint16_t> CRC16_SLICES = MakeCrc16Slices();
constexpr SliceTables<uint32_t> CRC30_SLICES = MakeCrc30Slices();

inline uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline uint32_t LoadBe32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

uint16_t Crc16Update(uint16_t reg, const uint8_t* p, size_t count) {
    const auto& t = CRC16_SLICES;
    for (; count >= 16; count -= 16, p += 16) {
        const uint32_t a = LoadLe32(p) ^ reg;
        const uint32_t b = LoadLe32(p + 4);
        const uint32_t c = LoadLe32(p + 8);
        const uint32_t d = LoadLe32(p + 12);
        reg =
            static_cast<uint16_t>(t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
                                  t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
                                  t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
                                  t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24]);
    }
    for (; count > 0; --count, ++p) {
        reg = static_cast<uint16_t>((reg >> 8) ^ t[0][(reg ^ *p) & 0xFF]);
    }
    return reg;
}

// reg is the top-aligned register (30 bits shifted left by 2).
uint32_t Crc30UpdateAligned(uint32_t reg, const uint8_t* p, size_t count) {
    const auto& t = CRC30_SLICES;
    for (; count >= 16; count -= 16, p += 16) {
        const uint32_t a = LoadBe32(p) ^ reg;
        const uint32_t b = LoadBe32(p + 4);
        const uint32_t c = LoadBe32(p + 8);
        const uint32_t d = LoadBe32(p + 12);
        reg = t[15][a >> 24] ^ t[14][(a >> 16) & 0xFF] ^ t[13][(a >> 8) & 0xFF] ^ t[12][a & 0xFF] ^ t[11][b >> 24] ^
              t[10][(b >> 16) & 0xFF] ^ t[9][(b >> 8) & 0xFF] ^ t[8][b & 0xFF] ^ t[7][c >> 24] ^
              t[6][(c >> 16) & 0xFF] ^ t[5][(c >> 8) & 0xFF] ^ t[4][c & 0xFF] ^ t[3][d >> 24] ^ t[2][(d >> 16) & 0xFF] ^
              t[1][(d >> 8) & 0xFF] ^ t[0][d & 0xFF];
    }
    for (; count > 0; --count, ++p) {
        reg = (reg << 8) ^ t[0][(reg >> 24) ^ *p];
    }
    return reg;
}

// Takes and returns the 30-bit register in its ordinary (low-aligned) form.
uint32_t Crc30Update(uint32_t reg, const uint8_t* p, size_t count) {
    return Crc30UpdateAligned(reg << 2, p, count) >> 2;
}

// A null pointer counts as no data rather than a crash.
size_t WholeBytes(const uint8_t* data, uint32_t bitCount) { return data ? bitCount / 8 : 0; }

// The running register of Crc30CalcPart, kept in 30 bits. Atomic so that touching it from
// different threads is never undefined; mixing two chunked computations still mixes their CRCs.
std::atomic<uint32_t> g_crc30Running{CRC30_INIT};

}  // namespace

uint16_t Crc16Calc(const uint8_t* data, uint32_t bitCount) {
    return static_cast<uint16_t>(~Crc16Update(CRC16_INIT, data, WholeBytes(data, bitCount)));
}

uint32_t Crc30Calc(const uint8_t* data, uint32_t bitCount) {
    return ~Crc30Update(CRC30_INIT, data, WholeBytes(data, bitCount)) & CRC30_MASK;
}

uint32_t Crc30CalcPart(const uint8_t* data, uint32_t bitCount, int phase) {
    uint32_t reg = phase == CRC30_FIRST ? CRC30_INIT : g_crc30Running.load(std::memory_order_relaxed);
    reg = Crc30Update(reg, data, WholeBytes(data, bitCount));
    if (phase == CRC30_LAST) reg = ~reg;
    reg &= CRC30_MASK;
    g_crc30Running.store(reg, std::memory_order_relaxed);
    return reg;
}
