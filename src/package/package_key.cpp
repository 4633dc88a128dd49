// SPDX-License-Identifier: Apache-2.0
#include "package/package_key.h"

namespace {

// key[i] = rotate-left(kMixed[i], 3i + 1) XOR kMask[7 - i]. The volatile reads keep the compiler
// from folding the two halves into the key as one constant.
volatile const uint8_t kMask[PackageKey::kLength] = {0x70, 0x3B, 0x15, 0xFF, 0xDE, 0x19, 0x8C, 0x46};
volatile const uint8_t kMixed[PackageKey::kLength] = {0x1E, 0xFC, 0x11, 0x20, 0xB9, 0x3E, 0xF9, 0x58};

uint8_t RotateLeft(uint8_t value, unsigned count) {
    count &= 7u;
    if (count == 0) return value;
    return static_cast<uint8_t>((value << count) | (value >> (8u - count)));
}

__attribute__((noinline)) void AssembleKey(uint8_t* key) {
    for (unsigned i = 0; i < PackageKey::kLength; ++i) {
        uint8_t mixed = kMixed[i];
        uint8_t mask = kMask[PackageKey::kLength - 1 - i];
        key[i] = static_cast<uint8_t>(RotateLeft(mixed, 3 * i + 1) ^ mask);
    }
}

}  // namespace

PackageKey::PackageKey() { AssembleKey(m_bytes); }

PackageKey::~PackageKey() { WipeBytes(m_bytes, sizeof m_bytes); }

void FormPackageMarker(const PackageKey& key, uint8_t marker[kPackageMarkerLength]) {
    for (size_t i = 0; i < kPackageMarkerLength; ++i) marker[i] = static_cast<uint8_t>(key.Bytes()[i] - 0x20);
}

__attribute__((noinline)) void WipeBytes(void* bytes, size_t length) {
    volatile uint8_t* p = static_cast<volatile uint8_t*>(bytes);
    for (size_t i = 0; i < length; ++i) p[i] = 0;
}
