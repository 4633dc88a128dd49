// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

// Blowfish, the 64-bit block cipher, with three chaining modes. Blocks are big-endian halves.
// Every Encrypt/Decrypt call starts its chain from the initial vector given to Initialize.
class CBlowfish {
public:
    enum Mode : int { ECB = 0, CBC = 1, CFB = 2 };

    // keyLength in bytes: 0 throws std::invalid_argument("Incorrect key length"); above 56 is cut
    // to 56. iv: 8 bytes read as two machine-order words.
    void Initialize(const uint8_t* key, size_t keyLength, const uint8_t* iv);
    // length must be non-zero and a multiple of 8, else std::invalid_argument("Incorrect buffer
    // length"). in and out may be the same buffer. Mode 1 CBC, 2 CFB-64, anything else ECB.
    void Encrypt(const uint8_t* in, uint8_t* out, size_t length, int mode = CBC);
    void Decrypt(const uint8_t* in, uint8_t* out, size_t length, int mode = CBC);

    void EncipherBlock(uint32_t& left, uint32_t& right) const;
    void DecipherBlock(uint32_t& left, uint32_t& right) const;

private:
    uint32_t F(uint32_t x) const;

    uint32_t m_iv[2] = {0, 0};
    uint32_t m_chainStart[2] = {0, 0};
    uint32_t m_p[18] = {};
    uint32_t m_s[4][256] = {};
};
