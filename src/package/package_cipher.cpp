// SPDX-License-Identifier: Apache-2.0
#include "package/package_cipher.h"

#include "package/package_key.h"

namespace {

CBlowfish ScheduleKey() {
    PackageKey key;
    const uint8_t zeroVector[8] = {};
    CBlowfish cipher;
    cipher.Initialize(key.Bytes(), PackageKey::kLength, zeroVector);
    return cipher;
}

const CBlowfish& ScheduledCipher() {
    static const CBlowfish cipher = ScheduleKey();  // thread-safe one-time set-up
    return cipher;
}

}  // namespace

PackageCipher::PackageCipher() : m_cipher(ScheduledCipher()) {}

void PackageCipher::EncipherUnit(uint8_t* data, size_t length) { m_cipher.Encrypt(data, data, length, CBlowfish::CBC); }

void PackageCipher::DecipherUnit(uint8_t* data, size_t length) { m_cipher.Decrypt(data, data, length, CBlowfish::CBC); }

void PackageCipher::EncipherBlock(uint8_t block[8]) const {
    uint32_t left = (uint32_t{block[0]} << 24) | (uint32_t{block[1]} << 16) | (uint32_t{block[2]} << 8) | block[3];
    uint32_t right = (uint32_t{block[4]} << 24) | (uint32_t{block[5]} << 16) | (uint32_t{block[6]} << 8) | block[7];
    m_cipher.EncipherBlock(left, right);
    for (int i = 0; i < 4; ++i) {
        block[i] = static_cast<uint8_t>(left >> (24 - 8 * i));
        block[4 + i] = static_cast<uint8_t>(right >> (24 - 8 * i));
    }
}
