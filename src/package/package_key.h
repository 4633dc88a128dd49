// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

// The 8-byte key the embedded package is enciphered with. It is never kept whole in the program:
// each PackageKey assembles it from two constant halves when a package operation needs it and
// wipes it again when it goes out of scope.
class PackageKey {
public:
    static constexpr size_t kLength = 8;

    PackageKey();
    ~PackageKey();
    PackageKey(const PackageKey&) = delete;
    PackageKey& operator=(const PackageKey&) = delete;

    const uint8_t* Bytes() const { return m_bytes; }

private:
    uint8_t m_bytes[kLength];
};

// The parameter block's marker: the key's first four bytes, each lowered by 0x20 (modulo 256).
constexpr size_t kPackageMarkerLength = 4;
void FormPackageMarker(const PackageKey& key, uint8_t marker[kPackageMarkerLength]);

// Overwrites length bytes with zeros in a way the compiler may not drop as a dead store.
void WipeBytes(void* bytes, size_t length);
