// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

#include "package/blowfish.h"

// The package's cipher: Blowfish with the package key in cipher-block chaining from the all-zero
// initial vector. The key schedule (521 encipherments) is run once per process and kept; every
// PackageCipher starts from a copy of it, so a unit deciphers exactly as with a fresh schedule.
// One object per thread: Encrypt and Decrypt are not safe to share.
class PackageCipher {
public:
    PackageCipher();

    // Enciphers or deciphers one unit (a 512-byte parameter block or a 4096-byte load chunk) in
    // place, chaining from the all-zero vector. length: a non-zero multiple of 8.
    void EncipherUnit(uint8_t* data, size_t length);
    void DecipherUnit(uint8_t* data, size_t length);

    // One block in electronic codebook mode: for deriving further keys from the package key.
    void EncipherBlock(uint8_t block[8]) const;

private:
    CBlowfish m_cipher;
};
