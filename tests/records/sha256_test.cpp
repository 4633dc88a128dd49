// SPDX-License-Identifier: Apache-2.0
// Our SHA-256 against the FIPS 180-4 examples, and fed in pieces of every size.
#include "records/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Sha256, GivesTheStandardsExampleDigests) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecesOfAnySizeGiveTheWholesDigest) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>(i * 7 + 3);
    const std::string whole = Sha256Hex(text);
    // Every split around the 55/56/64-byte block edges, where padding goes wrong first.
    for (size_t piece = 1; piece <= 130; ++piece) {
        Sha256 hash;
        for (size_t at = 0; at < text.size(); at += piece) hash.Update(std::string_view(text).substr(at, piece));
        EXPECT_EQ(HexDigest(hash.Final()), whole) << "pieces of " << piece;
    }
    for (size_t length : {55, 56, 63, 64, 65, 119, 120}) {
        EXPECT_NE(Sha256Hex(text.substr(0, length)), Sha256Hex(text.substr(0, length + 1))) << length;
    }
}

}  // namespace
