// SPDX-License-Identifier: Apache-2.0
#include "package/blowfish.h"

#include <bit>
#include <cstring>
#include <stdexcept>

#include "package/blowfish_constants.h"

namespace {

using SBoxes = uint32_t[4][256];

constexpr size_t kBlockSize = 8;
constexpr size_t kMaxKeyLength = 56;
// Blocks deciphered side by side where the mode lets them be independent. Four lanes keep all
// eight halves in registers on x86-64 while hiding the latency of the S-box loads of each chain.
constexpr size_t kLanes = 4;

inline uint32_t LoadBigEndian(const uint8_t* bytes) {
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap32(word);
    return word;
}

inline void StoreBigEndian(uint8_t* bytes, uint32_t word) {
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap32(word);
    std::memcpy(bytes, &word, sizeof word);
}

[[gnu::always_inline]] inline uint32_t RoundFunction(const SBoxes& s, uint32_t x) {
    return ((s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF];
}

// One Feistel step on every lane: target ^= F(source) ^ subkey.
template <size_t N>
[[gnu::always_inline]] inline void Step(const SBoxes& s, uint32_t (&target)[N], const uint32_t (&source)[N],
                                        uint32_t subkey) {
#pragma GCC unroll 8
    for (size_t k = 0; k < N; ++k) target[k] ^= RoundFunction(s, source[k]) ^ subkey;
}

template <size_t N>
[[gnu::always_inline]] inline void XorAll(uint32_t (&halves)[N], uint32_t subkey) {
#pragma GCC unroll 8
    for (size_t k = 0; k < N; ++k) halves[k] ^= subkey;
}

// The 16 rounds on N independent blocks at once, rounds written out so that the subkeys are
// constant offsets and the lanes' loads interleave. Results come back in (l, r) unswapped.
template <size_t N>
[[gnu::always_inline]] inline void EncipherLanes(const uint32_t* p, const SBoxes& s, uint32_t (&l)[N],
                                                 uint32_t (&r)[N]) {
    XorAll(l, p[0]);
    Step(s, r, l, p[1]);
    Step(s, l, r, p[2]);
    Step(s, r, l, p[3]);
    Step(s, l, r, p[4]);
    Step(s, r, l, p[5]);
    Step(s, l, r, p[6]);
    Step(s, r, l, p[7]);
    Step(s, l, r, p[8]);
    Step(s, r, l, p[9]);
    Step(s, l, r, p[10]);
    Step(s, r, l, p[11]);
    Step(s, l, r, p[12]);
    Step(s, r, l, p[13]);
    Step(s, l, r, p[14]);
    Step(s, r, l, p[15]);
    Step(s, l, r, p[16]);
    XorAll(r, p[17]);
#pragma GCC unroll 8
    for (size_t k = 0; k < N; ++k) std::swap(l[k], r[k]);
}

template <size_t N>
[[gnu::always_inline]] inline void DecipherLanes(const uint32_t* p, const SBoxes& s, uint32_t (&l)[N],
                                                 uint32_t (&r)[N]) {
    XorAll(l, p[17]);
    Step(s, r, l, p[16]);
    Step(s, l, r, p[15]);
    Step(s, r, l, p[14]);
    Step(s, l, r, p[13]);
    Step(s, r, l, p[12]);
    Step(s, l, r, p[11]);
    Step(s, r, l, p[10]);
    Step(s, l, r, p[9]);
    Step(s, r, l, p[8]);
    Step(s, l, r, p[7]);
    Step(s, r, l, p[6]);
    Step(s, l, r, p[5]);
    Step(s, r, l, p[4]);
    Step(s, l, r, p[3]);
    Step(s, r, l, p[2]);
    Step(s, l, r, p[1]);
    XorAll(r, p[0]);
#pragma GCC unroll 8
    for (size_t k = 0; k < N; ++k) std::swap(l[k], r[k]);
}

template <size_t N>
[[gnu::always_inline]] inline void LoadLanes(const uint8_t* src, uint32_t (&l)[N], uint32_t (&r)[N]) {
#pragma GCC unroll 8
    for (size_t k = 0; k < N; ++k) {
        l[k] = LoadBigEndian(src + k * kBlockSize);
        r[k] = LoadBigEndian(src + k * kBlockSize + 4);
    }
}

template <size_t N>
[[gnu::always_inline]] inline void StoreLanes(uint8_t* dst, const uint32_t (&l)[N], const uint32_t (&r)[N]) {
#pragma GCC unroll 8
    for (size_t k = 0; k < N; ++k) {
        StoreBigEndian(dst + k * kBlockSize, l[k]);
        StoreBigEndian(dst + k * kBlockSize + 4, r[k]);
    }
}

// Codebook mode in either direction: every block on its own, kLanes at a time.
template <bool Decipher>
void RunCodebook(const uint32_t* p, const SBoxes& s, const uint8_t* in, uint8_t* out, size_t blocks) {
    size_t i = 0;
    for (; i + kLanes <= blocks; i += kLanes) {
        uint32_t l[kLanes], r[kLanes];
        LoadLanes(in + i * kBlockSize, l, r);
        if constexpr (Decipher)
            DecipherLanes(p, s, l, r);
        else
            EncipherLanes(p, s, l, r);
        StoreLanes(out + i * kBlockSize, l, r);
    }
    for (; i < blocks; ++i) {
        uint32_t l[1], r[1];
        LoadLanes(in + i * kBlockSize, l, r);
        if constexpr (Decipher)
            DecipherLanes(p, s, l, r);
        else
            EncipherLanes(p, s, l, r);
        StoreLanes(out + i * kBlockSize, l, r);
    }
}

// Cipher-block chaining, deciphering direction.
void CbcDecipher(const uint32_t* p, const SBoxes& s, const uint32_t (&chainStart)[2], const uint8_t* in, uint8_t* out,
                 size_t blocks) {
    uint32_t chainL = chainStart[0], chainR = chainStart[1];
    size_t i = 0;
    // Each plaintext needs only its own and the previous ciphertext, so blocks decipher side
    // by side. Results are stored last to first: block k still reads ciphertext k-1 from the
    // source after block k+1 is written, which keeps in == out working.
    for (; i + kLanes <= blocks; i += kLanes) {
        const uint8_t* src = in + i * kBlockSize;
        uint8_t* dst = out + i * kBlockSize;
        uint32_t l[kLanes], r[kLanes];
        LoadLanes(src, l, r);
        const uint32_t nextL = l[kLanes - 1], nextR = r[kLanes - 1];
        DecipherLanes(p, s, l, r);
#pragma GCC unroll 8
        for (size_t k = kLanes - 1; k > 0; --k) {
            StoreBigEndian(dst + k * kBlockSize, l[k] ^ LoadBigEndian(src + (k - 1) * kBlockSize));
            StoreBigEndian(dst + k * kBlockSize + 4, r[k] ^ LoadBigEndian(src + (k - 1) * kBlockSize + 4));
        }
        StoreBigEndian(dst, l[0] ^ chainL);
        StoreBigEndian(dst + 4, r[0] ^ chainR);
        chainL = nextL;
        chainR = nextR;
    }
    for (; i < blocks; ++i) {
        uint32_t l[1], r[1];
        LoadLanes(in + i * kBlockSize, l, r);
        const uint32_t nextL = l[0], nextR = r[0];
        DecipherLanes(p, s, l, r);
        StoreBigEndian(out + i * kBlockSize, l[0] ^ chainL);
        StoreBigEndian(out + i * kBlockSize + 4, r[0] ^ chainR);
        chainL = nextL;
        chainR = nextR;
    }
}

// 64-bit cipher feedback, deciphering direction.
void CfbDecipher(const uint32_t* p, const SBoxes& s, const uint32_t (&chainStart)[2], const uint8_t* in, uint8_t* out,
                 size_t blocks) {
    uint32_t chainL = chainStart[0], chainR = chainStart[1];
    size_t i = 0;
    // The key stream of block k is E(ciphertext k-1), known up front, so it too runs side by side. Ciphertext k is read
    // before plaintext k overwrites it.
    for (; i + kLanes <= blocks; i += kLanes) {
        const uint8_t* src = in + i * kBlockSize;
        uint8_t* dst = out + i * kBlockSize;
        uint32_t l[kLanes], r[kLanes];
        l[0] = chainL;
        r[0] = chainR;
#pragma GCC unroll 8
        for (size_t k = 1; k < kLanes; ++k) {
            l[k] = LoadBigEndian(src + (k - 1) * kBlockSize);
            r[k] = LoadBigEndian(src + (k - 1) * kBlockSize + 4);
        }
        chainL = LoadBigEndian(src + (kLanes - 1) * kBlockSize);
        chainR = LoadBigEndian(src + (kLanes - 1) * kBlockSize + 4);
        EncipherLanes(p, s, l, r);
#pragma GCC unroll 8
        for (size_t k = 0; k < kLanes; ++k) {
            StoreBigEndian(dst + k * kBlockSize, l[k] ^ LoadBigEndian(src + k * kBlockSize));
            StoreBigEndian(dst + k * kBlockSize + 4, r[k] ^ LoadBigEndian(src + k * kBlockSize + 4));
        }
    }
    for (; i < blocks; ++i) {
        const uint32_t cl = LoadBigEndian(in + i * kBlockSize), cr = LoadBigEndian(in + i * kBlockSize + 4);
        uint32_t l[1] = {chainL}, r[1] = {chainR};
        EncipherLanes(p, s, l, r);
        StoreBigEndian(out + i * kBlockSize, l[0] ^ cl);
        StoreBigEndian(out + i * kBlockSize + 4, r[0] ^ cr);
        chainL = cl;
        chainR = cr;
    }
}

void CheckLength(size_t length) {
    if (length == 0 || length % kBlockSize != 0) throw std::invalid_argument("Incorrect buffer length");
}

}  // namespace

uint32_t CBlowfish::F(uint32_t x) const { return RoundFunction(m_s, x); }

void CBlowfish::EncipherBlock(uint32_t& left, uint32_t& right) const {
    uint32_t l[1] = {left}, r[1] = {right};
    EncipherLanes(m_p, m_s, l, r);
    left = l[0];
    right = r[0];
}

void CBlowfish::DecipherBlock(uint32_t& left, uint32_t& right) const {
    uint32_t l[1] = {left}, r[1] = {right};
    DecipherLanes(m_p, m_s, l, r);
    left = l[0];
    right = r[0];
}

void CBlowfish::Initialize(const uint8_t* key, size_t keyLength, const uint8_t* iv) {
    if (keyLength == 0) throw std::invalid_argument("Incorrect key length");
    if (keyLength > kMaxKeyLength) keyLength = kMaxKeyLength;

    // The vector is taken in the machine's own word order, unlike the data blocks.
    std::memcpy(m_iv, iv, sizeof m_iv);
    std::memcpy(m_chainStart, m_iv, sizeof m_chainStart);
    std::memcpy(m_p, kBlowfishInitialP, sizeof m_p);
    std::memcpy(m_s, kBlowfishInitialS, sizeof m_s);

    size_t next = 0;
    for (uint32_t& subkey : m_p) {
        uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = (word << 8) | key[next];
            if (++next == keyLength) next = 0;
        }
        subkey ^= word;
    }

    uint32_t l = 0, r = 0;
    for (size_t i = 0; i < 18; i += 2) {
        EncipherBlock(l, r);
        m_p[i] = l;
        m_p[i + 1] = r;
    }
    for (auto& box : m_s) {
        for (size_t i = 0; i < 256; i += 2) {
            EncipherBlock(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
}

void CBlowfish::Encrypt(const uint8_t* in, uint8_t* out, size_t length, int mode) {
    CheckLength(length);
    const size_t blocks = length / kBlockSize;
    if (mode != CBC && mode != CFB) {
        RunCodebook<false>(m_p, m_s, in, out, blocks);
        return;
    }
    // Each block needs the previous ciphertext, so the chained modes run one block at a time.
    uint32_t chainL = m_chainStart[0], chainR = m_chainStart[1];
    for (size_t i = 0; i < blocks; ++i, in += kBlockSize, out += kBlockSize) {
        if (mode == CBC) {
            chainL ^= LoadBigEndian(in);
            chainR ^= LoadBigEndian(in + 4);
            EncipherBlock(chainL, chainR);
        } else {
            EncipherBlock(chainL, chainR);
            chainL ^= LoadBigEndian(in);
            chainR ^= LoadBigEndian(in + 4);
        }
        StoreBigEndian(out, chainL);
        StoreBigEndian(out + 4, chainR);
    }
}

void CBlowfish::Decrypt(const uint8_t* in, uint8_t* out, size_t length, int mode) {
    CheckLength(length);
    const size_t blocks = length / kBlockSize;
    if (mode == CBC)
        CbcDecipher(m_p, m_s, m_chainStart, in, out, blocks);
    else if (mode == CFB)
        CfbDecipher(m_p, m_s, m_chainStart, in, out, blocks);
    else
        RunCodebook<true>(m_p, m_s, in, out, blocks);
}
