// SPDX-License-Identifier: Apache-2.0
#include "package/package_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "package/blowfish.h"
#include "package/package_cipher.h"
#include "package_fixture.h"

namespace {

using pkgtest::Bytes;

Bytes KeyBytes() {
    PackageKey key;
    return Bytes(key.Bytes(), key.Bytes() + PackageKey::kLength);
}

TEST(PackageKey, AssemblesTheSameEightBytesEachTime) {
    const Bytes first = KeyBytes();
    const Bytes second = KeyBytes();
    EXPECT_EQ(first, second);
    // Not a degenerate key: at least five distinct byte values.
    Bytes sorted = first;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_GE(std::unique(sorted.begin(), sorted.end()) - sorted.begin(), 5);
}

TEST(PackageKey, MarkerIsTheFirstFourKeyBytesLoweredBy0x20) {
    PackageKey key;
    uint8_t marker[kPackageMarkerLength];
    FormPackageMarker(key, marker);
    for (size_t i = 0; i < kPackageMarkerLength; ++i)
        EXPECT_EQ(marker[i], static_cast<uint8_t>(key.Bytes()[i] - 0x20)) << i;
}

TEST(PackageKey, IsNotStoredWholeInTheProgramFiles) {
    const Bytes key = KeyBytes();
    for (const char* path : {VEXLOR_BINARY, VEXLOR_PACK_BINARY, "/proc/self/exe"}) {
        const Bytes file = pkgtest::ReadFile(path);
        ASSERT_GT(file.size(), 10000u) << path;
        EXPECT_EQ(std::search(file.begin(), file.end(), key.begin(), key.end()), file.end()) << path;
    }
}

TEST(PackageKey, WipeBytesClearsTheBuffer) {
    uint8_t buffer[32];
    std::memset(buffer, 0xA5, sizeof buffer);
    WipeBytes(buffer, sizeof buffer);
    for (uint8_t b : buffer) EXPECT_EQ(b, 0);
}

// The kept key schedule must decipher exactly as a cipher set up afresh for every chunk.
TEST(PackageCipher, EqualsAFreshKeySchedulePerUnit) {
    const Bytes key = KeyBytes();
    const uint8_t zeroVector[8] = {};
    Bytes data = pkgtest::RandomBytes(3 * 4096, 11);
    Bytes ours = data;
    PackageCipher cipher;
    for (size_t unit = 0; unit < 3; ++unit) cipher.DecipherUnit(ours.data() + unit * 4096, 4096);
    for (size_t unit = 0; unit < 3; ++unit) {
        CBlowfish fresh;
        fresh.Initialize(key.data(), key.size(), zeroVector);
        Bytes expected(4096);
        fresh.Decrypt(data.data() + unit * 4096, expected.data(), 4096, CBlowfish::CBC);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), ours.begin() + unit * 4096)) << "unit " << unit;
    }
}

TEST(PackageCipher, EncipherUnitIsUndoneByDecipherUnit) {
    const Bytes original = pkgtest::RandomBytes(512, 3);
    Bytes data = original;
    PackageCipher cipher;
    cipher.EncipherUnit(data.data(), data.size());
    EXPECT_NE(data, original);
    cipher.DecipherUnit(data.data(), data.size());
    EXPECT_EQ(data, original);
}

TEST(PackageCipher, EncipherBlockIsBlowfishWithThePackageKey) {
    const Bytes key = KeyBytes();
    const uint8_t zeroVector[8] = {};
    CBlowfish fresh;
    fresh.Initialize(key.data(), key.size(), zeroVector);
    uint8_t expected[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    fresh.Encrypt(expected, expected, 8, CBlowfish::ECB);
    uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    PackageCipher().EncipherBlock(block);
    EXPECT_EQ(0, std::memcmp(block, expected, 8));
}

}  // namespace
