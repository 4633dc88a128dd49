// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

// SipHash-2-4 (Aumasson and Bernstein), the keyed 64-bit hash, fed in pieces of any size.
// The key is two 64-bit words k0, k1: the 16 key bytes read as two little-endian words.
class SipHash24 {
public:
    SipHash24(uint64_t k0, uint64_t k1);
    static SipHash24 FromKeyBytes(const uint8_t key[16]);

    void Update(const uint8_t* data, size_t length);
    // The hash of everything fed so far. Ends the computation: feed nothing after it.
    uint64_t Finish();

    static uint64_t Digest(const uint8_t key[16], const uint8_t* data, size_t length);

private:
    void Compress(uint64_t word);

    uint64_t m_v0, m_v1, m_v2, m_v3;
    uint64_t m_totalLength = 0;
    uint8_t m_tail[8] = {};
    size_t m_tailLength = 0;
};
