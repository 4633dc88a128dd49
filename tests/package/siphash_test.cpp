// SPDX-License-Identifier: Apache-2.0
#include "package/siphash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// The reference outputs published with SipHash-2-4 (vectors_sip64, as little-endian words): key
// 00 01 .. 0f over the messages 00 01 .. (n-1) for n = 0 .. 63, covering every tail length.
const uint64_t kReferenceVectors[64] = {
    0x726fdb47dd0e0e31ull, 0x74f839c593dc67fdull, 0x0d6c8009d9a94f5aull, 0x85676696d7fb7e2dull, 0xcf2794e0277187b7ull,
    0x18765564cd99a68dull, 0xcbc9466e58fee3ceull, 0xab0200f58b01d137ull, 0x93f5f5799a932462ull, 0x9e0082df0ba9e4b0ull,
    0x7a5dbbc594ddb9f3ull, 0xf4b32f46226bada7ull, 0x751e8fbc860ee5fbull, 0x14ea5627c0843d90ull, 0xf723ca908e7af2eeull,
    0xa129ca6149be45e5ull, 0x3f2acc7f57c29bdbull, 0x699ae9f52cbe4794ull, 0x4bc1b3f0968dd39cull, 0xbb6dc91da77961bdull,
    0xbed65cf21aa2ee98ull, 0xd0f2cbb02e3b67c7ull, 0x93536795e3a33e88ull, 0xa80c038ccd5ccec8ull, 0xb8ad50c6f649af94ull,
    0xbce192de8a85b8eaull, 0x17d835b85bbb15f3ull, 0x2f2e6163076bcfadull, 0xde4daaaca71dc9a5ull, 0xa6a2506687956571ull,
    0xad87a3535c49ef28ull, 0x32d892fad841c342ull, 0x7127512f72f27cceull, 0xa7f32346f95978e3ull, 0x12e0b01abb051238ull,
    0x15e034d40fa197aeull, 0x314dffbe0815a3b4ull, 0x027990f029623981ull, 0xcadcd4e59ef40c4dull, 0x9abfd8766a33735cull,
    0x0e3ea96b5304a7d0ull, 0xad0c42d6fc585992ull, 0x187306c89bc215a9ull, 0xd4a60abcf3792b95ull, 0xf935451de4f21df2ull,
    0xa9538f0419755787ull, 0xdb9acddff56ca510ull, 0xd06c98cd5c0975ebull, 0xe612a3cb9ecba951ull, 0xc766e62cfcadaf96ull,
    0xee64435a9752fe72ull, 0xa192d576b245165aull, 0x0a8787bf8ecb74b2ull, 0x81b3e73d20b49b6full, 0x7fa8220ba3b2eceaull,
    0x245731c13ca42499ull, 0xb78dbfaf3a8d83bdull, 0xea1ad565322a1a0bull, 0x60e61c23a3795013ull, 0x6606d7e446282b93ull,
    0x6ca4ecb15c5f91e1ull, 0x9f626da15c9625f3ull, 0xe51b38608ef25f57ull, 0x958a324ceb064572ull,
};

std::vector<uint8_t> ReferenceKey() {
    std::vector<uint8_t> key(16);
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i);
    return key;
}

TEST(SipHash24, MatchesReferenceVectorsForEveryLengthUpTo63) {
    const auto key = ReferenceKey();
    std::vector<uint8_t> message(64);
    for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i);
    for (size_t n = 0; n < 64; ++n)
        EXPECT_EQ(SipHash24::Digest(key.data(), message.data(), n), kReferenceVectors[n]) << "length " << n;
}

TEST(SipHash24, WordKeyConstructorEqualsByteKey) {
    // k0 and k1 are the key bytes read as little-endian words.
    SipHash24 hash(0x0706050403020100ull, 0x0f0e0d0c0b0a0908ull);
    const uint8_t message[15] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    hash.Update(message, sizeof message);
    EXPECT_EQ(hash.Finish(), 0xa129ca6149be45e5ull);
}

TEST(SipHash24, PiecesOfAnySizeGiveTheOneShotHash) {
    const auto key = ReferenceKey();
    std::mt19937 rng(7);
    std::vector<uint8_t> message(100000);
    for (auto& b : message) b = static_cast<uint8_t>(rng());
    const uint64_t whole = SipHash24::Digest(key.data(), message.data(), message.size());

    for (size_t pieceSize : {size_t{1}, size_t{3}, size_t{7}, size_t{8}, size_t{9}, size_t{4096}, size_t{65537}}) {
        SipHash24 hash = SipHash24::FromKeyBytes(key.data());
        for (size_t at = 0; at < message.size(); at += pieceSize)
            hash.Update(message.data() + at, std::min(pieceSize, message.size() - at));
        EXPECT_EQ(hash.Finish(), whole) << "pieces of " << pieceSize;
    }
    // Irregular pieces, including empty ones.
    SipHash24 hash = SipHash24::FromKeyBytes(key.data());
    for (size_t at = 0; at < message.size();) {
        const size_t piece = std::min<size_t>(rng() % 40, message.size() - at);
        hash.Update(message.data() + at, piece);
        at += piece;
    }
    EXPECT_EQ(hash.Finish(), whole);
}

TEST(SipHash24, AnyChangedByteOrKeyChangesTheHash) {
    auto key = ReferenceKey();
    std::vector<uint8_t> message(1000, 0x5A);
    const uint64_t original = SipHash24::Digest(key.data(), message.data(), message.size());
    for (size_t at : {size_t{0}, size_t{7}, size_t{8}, size_t{500}, size_t{999}}) {
        message[at] ^= 0x80;
        EXPECT_NE(SipHash24::Digest(key.data(), message.data(), message.size()), original) << "byte " << at;
        message[at] ^= 0x80;
    }
    // A longer message of zeros must not hash like a shorter one (the length is part of the hash).
    std::vector<uint8_t> zeros(16, 0);
    EXPECT_NE(SipHash24::Digest(key.data(), zeros.data(), 15), SipHash24::Digest(key.data(), zeros.data(), 16));
    key[15] ^= 1;
    EXPECT_NE(SipHash24::Digest(key.data(), message.data(), message.size()), original);
}

}  // namespace
