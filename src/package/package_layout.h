// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

// Layout of the package appended to the program file, from the start of the file:
//   program image | integrity record (8) | load area (S, 4096-byte chunks) | parameter block (512)
// S is the load size N plus its 4-byte CRC, rounded up to whole chunks. All numbers little-endian.

constexpr uint32_t kChunkSize = 4096;
constexpr uint32_t kParameterBlockSize = 512;
constexpr uint32_t kIntegrityRecordSize = 8;
constexpr uint32_t kLoadCrcSize = 4;

// Parameter block, deciphered.
constexpr size_t kParamMarkerOffset = 0;
constexpr size_t kParamVersionOffset = 4;
constexpr size_t kParamVersionField = 48;  // text and its NUL
constexpr size_t kParamVersionMaxText = kParamVersionField - 1;
constexpr size_t kParamVersionScanLimit = 70 - kParamVersionOffset;  // a NUL is looked for up to offset 69
constexpr size_t kParamValue16Offset = 52;
constexpr size_t kParamLoadSizeOffset = 54;
constexpr size_t kParamValue32aOffset = 58;
constexpr size_t kParamValue32bOffset = 62;
constexpr size_t kParamValue32cOffset = 66;
constexpr size_t kParamCrcOffset = 508;

// The largest load whose area size still fits 32 bits.
constexpr uint32_t kMaxLoadSize = 0xFFFFF000u - kLoadCrcSize;

// S for a load of loadSize bytes.
constexpr uint64_t EncipheredAreaSize(uint64_t loadSize) {
    return (loadSize + kLoadCrcSize + kChunkSize - 1) / kChunkSize * kChunkSize;
}

enum class LoadSizeProblem {
    kNone,
    kZero,          // nothing to load; the progress arithmetic divides by the size
    kCrcStraddles,  // remainder 4093..4095: the stored CRC would cross into a chunk of its own
    kTooLarge,      // the area size would not fit 32 bits
};

constexpr LoadSizeProblem CheckLoadSize(uint64_t loadSize) {
    if (loadSize == 0) return LoadSizeProblem::kZero;
    if (loadSize > kMaxLoadSize) return LoadSizeProblem::kTooLarge;
    if (loadSize % kChunkSize > kChunkSize - kLoadCrcSize) return LoadSizeProblem::kCrcStraddles;
    return LoadSizeProblem::kNone;
}

inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline uint64_t ReadLe64(const uint8_t* p) { return uint64_t{ReadLe32(p)} | (uint64_t{ReadLe32(p + 4)} << 32); }
inline void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void WriteLe64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
