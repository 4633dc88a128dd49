// SPDX-License-Identifier: Apache-2.0
#include "package/siphash.h"

#include <cstring>

namespace {

inline uint64_t Rotl(uint64_t x, int b) { return (x << b) | (x >> (64 - b)); }

inline uint64_t LoadLe64(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    w = __builtin_bswap64(w);
#endif
    return w;
}

inline void SipRound(uint64_t& v0, uint64_t& v1, uint64_t& v2, uint64_t& v3) {
    v0 += v1;
    v1 = Rotl(v1, 13);
    v1 ^= v0;
    v0 = Rotl(v0, 32);
    v2 += v3;
    v3 = Rotl(v3, 16);
    v3 ^= v2;
    v0 += v3;
    v3 = Rotl(v3, 21);
    v3 ^= v0;
    v2 += v1;
    v1 = Rotl(v1, 17);
    v1 ^= v2;
    v2 = Rotl(v2, 32);
}

}  // namespace

SipHash24::SipHash24(uint64_t k0, uint64_t k1)
    : m_v0(k0 ^ 0x736f6d6570736575ull),
      m_v1(k1 ^ 0x646f72616e646f6dull),
      m_v2(k0 ^ 0x6c7967656e657261ull),
      m_v3(k1 ^ 0x7465646279746573ull) {}

SipHash24 SipHash24::FromKeyBytes(const uint8_t key[16]) { return SipHash24(LoadLe64(key), LoadLe64(key + 8)); }

void SipHash24::Compress(uint64_t word) {
    m_v3 ^= word;
    SipRound(m_v0, m_v1, m_v2, m_v3);
    SipRound(m_v0, m_v1, m_v2, m_v3);
    m_v0 ^= word;
}

void SipHash24::Update(const uint8_t* data, size_t length) {
    m_totalLength += length;
    if (m_tailLength > 0) {
        size_t take = 8 - m_tailLength < length ? 8 - m_tailLength : length;
        std::memcpy(m_tail + m_tailLength, data, take);
        m_tailLength += take;
        data += take;
        length -= take;
        if (m_tailLength < 8) return;
        Compress(LoadLe64(m_tail));
        m_tailLength = 0;
    }
    // The hot loop keeps the state in locals so it stays in registers.
    uint64_t v0 = m_v0, v1 = m_v1, v2 = m_v2, v3 = m_v3;
    const uint8_t* end = data + (length & ~size_t{7});
    for (; data != end; data += 8) {
        uint64_t word = LoadLe64(data);
        v3 ^= word;
        SipRound(v0, v1, v2, v3);
        SipRound(v0, v1, v2, v3);
        v0 ^= word;
    }
    m_v0 = v0;
    m_v1 = v1;
    m_v2 = v2;
    m_v3 = v3;
    m_tailLength = length & 7;
    std::memcpy(m_tail, data, m_tailLength);
}

uint64_t SipHash24::Finish() {
    uint64_t last = (m_totalLength & 0xFF) << 56;
    for (size_t i = 0; i < m_tailLength; ++i) last |= uint64_t{m_tail[i]} << (8 * i);
    Compress(last);
    m_v2 ^= 0xFF;
    for (int i = 0; i < 4; ++i) SipRound(m_v0, m_v1, m_v2, m_v3);
    return m_v0 ^ m_v1 ^ m_v2 ^ m_v3;
}

uint64_t SipHash24::Digest(const uint8_t key[16], const uint8_t* data, size_t length) {
    SipHash24 hash = FromKeyBytes(key);
    hash.Update(data, length);
    return hash.Finish();
}
