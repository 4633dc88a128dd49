// SPDX-License-Identifier: Apache-2.0
#include "package/blowfish.h"

#include <gtest/gtest.h>
#include <openssl/blowfish.h>

#include <cstring>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// An IV given as the two chain words, laid out the way Initialize reads it: machine order.
Bytes IvFromWords(uint32_t left, uint32_t right) {
    Bytes iv(8);
    std::memcpy(iv.data(), &left, 4);
    std::memcpy(iv.data() + 4, &right, 4);
    return iv;
}

// OpenSSL reads its ivec as two big-endian halves; ours as two machine-order words.
Bytes OpenSslIvFor(const Bytes& ourIv) {
    uint32_t words[2];
    std::memcpy(words, ourIv.data(), 8);
    Bytes iv(8);
    for (int w = 0; w < 2; ++w)
        for (int b = 0; b < 4; ++b) iv[w * 4 + b] = static_cast<uint8_t>(words[w] >> (24 - 8 * b));
    return iv;
}

const Bytes kZeroIv(8, 0);

CBlowfish MakeCipher(const Bytes& key, const Bytes& iv = kZeroIv) {
    CBlowfish cipher;
    cipher.Initialize(key.data(), key.size(), iv.data());
    return cipher;
}

Bytes Encrypt(CBlowfish& cipher, const Bytes& in, int mode) {
    Bytes out(in.size());
    cipher.Encrypt(in.data(), out.data(), in.size(), mode);
    return out;
}

Bytes Decrypt(CBlowfish& cipher, const Bytes& in, int mode) {
    Bytes out(in.size());
    cipher.Decrypt(in.data(), out.data(), in.size(), mode);
    return out;
}

// OpenSSL's Blowfish in the same three modes, for cross-checking.
Bytes OpenSslCrypt(const Bytes& key, const Bytes& ourIv, const Bytes& in, int mode, bool encrypt) {
    BF_KEY schedule;
    BF_set_key(&schedule, static_cast<int>(key.size()), key.data());
    Bytes ivec = OpenSslIvFor(ourIv);
    Bytes out(in.size());
    const int direction = encrypt ? BF_ENCRYPT : BF_DECRYPT;
    if (mode == CBlowfish::CBC) {
        BF_cbc_encrypt(in.data(), out.data(), static_cast<long>(in.size()), &schedule, ivec.data(), direction);
    } else if (mode == CBlowfish::CFB) {
        int num = 0;
        BF_cfb64_encrypt(in.data(), out.data(), static_cast<long>(in.size()), &schedule, ivec.data(), &num, direction);
    } else {
        for (size_t i = 0; i < in.size(); i += 8) BF_ecb_encrypt(in.data() + i, out.data() + i, &schedule, direction);
    }
    return out;
}

Bytes RandomBytes(std::mt19937& rng, size_t count) {
    Bytes bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

constexpr int kModes[] = {CBlowfish::ECB, CBlowfish::CBC, CBlowfish::CFB};

// Eric Young's ECB set: key, plaintext, ciphertext.
struct EcbVector {
    const char* key;
    const char* plain;
    const char* cipher;
};
constexpr EcbVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

TEST(BlowfishVectors, PublishedEcbTriples) {
    for (const auto& v : kEcbVectors) {
        SCOPED_TRACE(std::string(v.key) + " " + v.plain);
        CBlowfish cipher = MakeCipher(FromHex(v.key));
        EXPECT_EQ(Encrypt(cipher, FromHex(v.plain), CBlowfish::ECB), FromHex(v.cipher));
        EXPECT_EQ(Decrypt(cipher, FromHex(v.cipher), CBlowfish::ECB), FromHex(v.plain));

        // The same through the word-level block operations.
        const Bytes plain = FromHex(v.plain);
        uint32_t left = (uint32_t{plain[0]} << 24) | (plain[1] << 16) | (plain[2] << 8) | plain[3];
        uint32_t right = (uint32_t{plain[4]} << 24) | (plain[5] << 16) | (plain[6] << 8) | plain[7];
        cipher.EncipherBlock(left, right);
        cipher.DecipherBlock(left, right);
        EXPECT_EQ(left, (uint32_t{plain[0]} << 24) | (plain[1] << 16) | (plain[2] << 8) | plain[3]);
        EXPECT_EQ(right, (uint32_t{plain[4]} << 24) | (plain[5] << 16) | (plain[6] << 8) | plain[7]);
    }
}

TEST(BlowfishVectors, PublishedVariableKeyLengths) {
    // The first 1..24 bytes of this key encipher FEDCBA9876543210 to the listed blocks.
    const Bytes key = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const char* const ciphers[] = {"F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
                                   "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
                                   "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
                                   "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
                                   "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
                                   "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080"};
    for (size_t length = 1; length <= key.size(); ++length) {
        SCOPED_TRACE(length);
        CBlowfish cipher = MakeCipher(Bytes(key.begin(), key.begin() + static_cast<long>(length)));
        EXPECT_EQ(Encrypt(cipher, FromHex("FEDCBA9876543210"), CBlowfish::ECB), FromHex(ciphers[length - 1]));
    }
}

// The published chaining example: key 0123456789ABCDEFF0E1D2C3B4A59687, IV FEDCBA9876543210 and the
// 29-byte text "7654321 Now is the time for " with its terminating zero. That IV is written as
// two big-endian halves, i.e. chain words 0xFEDCBA98 and 0x76543210. Our IV is read as two
// machine-order words, so the same chain is passed as those two words in memory (on x86 the bytes
// 98 BA DC FE 10 32 54 76), not as the byte string FE DC BA ...
class BlowfishPublishedChaining : public ::testing::Test {
protected:
    const Bytes key = FromHex("0123456789ABCDEFF0E1D2C3B4A59687");
    const Bytes iv = IvFromWords(0xFEDCBA98, 0x76543210);
    const Bytes text =
        FromHex("37363534333231204E6F77206973207468652074696D6520666F722000000000");  // zero-padded to 32
};

TEST_F(BlowfishPublishedChaining, Cbc) {
    CBlowfish cipher = MakeCipher(key, iv);
    const Bytes expected = FromHex("6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC");
    EXPECT_EQ(Encrypt(cipher, text, CBlowfish::CBC), expected);
    EXPECT_EQ(Decrypt(cipher, expected, CBlowfish::CBC), text);
}

TEST_F(BlowfishPublishedChaining, Cfb64) {
    // Published for the 29 bytes only; our unit is whole blocks, so the last three padding bytes
    // are left out of the comparison.
    CBlowfish cipher = MakeCipher(key, iv);
    const Bytes published = FromHex("E73214A2822139CAF26ECF6D2EB9E76E3DA3DE04D1517200519D57A6C3");
    const Bytes enciphered = Encrypt(cipher, text, CBlowfish::CFB);
    EXPECT_EQ(Bytes(enciphered.begin(), enciphered.begin() + 29), published);
    EXPECT_EQ(Decrypt(cipher, enciphered, CBlowfish::CFB), text);
}

TEST_F(BlowfishPublishedChaining, IvBytesTakenAsBigEndianHalvesGiveAnotherChain) {
    if (IvFromWords(0xFEDCBA98, 0x76543210) == FromHex("FEDCBA9876543210")) GTEST_SKIP() << "big-endian host";
    CBlowfish cipher = MakeCipher(key, FromHex("FEDCBA9876543210"));
    EXPECT_NE(Encrypt(cipher, text, CBlowfish::CBC),
              FromHex("6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC"));
}

TEST(BlowfishOpenSsl, RandomKeysAndDataInAllModes) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        const Bytes key = RandomBytes(rng, 1 + rng() % 56);
        const Bytes iv = RandomBytes(rng, 8);
        // Small and odd block counts reach the single-block tail after the side-by-side groups.
        const size_t blocks = round % 3 == 0 ? 1 + rng() % 13 : 1 + rng() % 600;
        const Bytes plain = RandomBytes(rng, blocks * 8);
        CBlowfish cipher = MakeCipher(key, iv);
        for (int mode : kModes) {
            SCOPED_TRACE(testing::Message() << "key " << key.size() << " blocks " << blocks << " mode " << mode);
            const Bytes enciphered = Encrypt(cipher, plain, mode);
            ASSERT_EQ(enciphered, OpenSslCrypt(key, iv, plain, mode, true));
            ASSERT_EQ(Decrypt(cipher, plain, mode), OpenSslCrypt(key, iv, plain, mode, false));
            ASSERT_EQ(Decrypt(cipher, enciphered, mode), plain);
        }
    }
}

TEST(BlowfishOpenSsl, EveryLengthUpToSeventeenBlocks) {
    std::mt19937 rng(7);
    const Bytes key = RandomBytes(rng, 8), iv = RandomBytes(rng, 8);
    CBlowfish cipher = MakeCipher(key, iv);
    for (size_t length = 8; length <= 136; length += 8) {
        const Bytes data = RandomBytes(rng, length);
        for (int mode : kModes) {
            SCOPED_TRACE(testing::Message() << "length " << length << " mode " << mode);
            EXPECT_EQ(Encrypt(cipher, data, mode), OpenSslCrypt(key, iv, data, mode, true));
            EXPECT_EQ(Decrypt(cipher, data, mode), OpenSslCrypt(key, iv, data, mode, false));
        }
    }
}

TEST(BlowfishBuffers, InPlaceMatchesSeparateBuffers) {
    std::mt19937 rng(11);
    CBlowfish cipher = MakeCipher(RandomBytes(rng, 16), RandomBytes(rng, 8));
    for (size_t length : {8u, 24u, 32u, 40u, 4096u}) {
        const Bytes data = RandomBytes(rng, length);
        for (int mode : kModes) {
            SCOPED_TRACE(testing::Message() << "length " << length << " mode " << mode);
            Bytes inPlace = data;
            cipher.Encrypt(inPlace.data(), inPlace.data(), inPlace.size(), mode);
            EXPECT_EQ(inPlace, Encrypt(cipher, data, mode));
            inPlace = data;
            cipher.Decrypt(inPlace.data(), inPlace.data(), inPlace.size(), mode);
            EXPECT_EQ(inPlace, Decrypt(cipher, data, mode));
        }
    }
}

TEST(BlowfishBuffers, EachCallStartsFromTheInitialVector) {
    std::mt19937 rng(3);
    const Bytes iv = RandomBytes(rng, 8);
    CBlowfish cipher = MakeCipher(RandomBytes(rng, 8), iv);
    const Bytes first = RandomBytes(rng, 4096), second = RandomBytes(rng, 4096);
    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());

    const Bytes firstPlain = Decrypt(cipher, first, CBlowfish::CBC);
    const Bytes secondPlain = Decrypt(cipher, second, CBlowfish::CBC);
    const Bytes stream = Decrypt(cipher, both, CBlowfish::CBC);

    EXPECT_EQ(firstPlain, Bytes(stream.begin(), stream.begin() + 4096));
    // Only the first block of the second unit depends on where its chain starts.
    EXPECT_NE(Bytes(secondPlain.begin(), secondPlain.begin() + 8), Bytes(stream.begin() + 4096, stream.begin() + 4104));
    EXPECT_EQ(Bytes(secondPlain.begin() + 8, secondPlain.end()), Bytes(stream.begin() + 4104, stream.end()));
    // The same holds in the other chained mode and direction.
    for (int mode : {int(CBlowfish::CBC), int(CBlowfish::CFB)}) {
        const Bytes once = Encrypt(cipher, first, mode);
        EXPECT_EQ(Encrypt(cipher, first, mode), once) << "mode " << mode;
    }
}

TEST(BlowfishBuffers, SingleCbcBlockWithZeroIvIsEcb) {
    std::mt19937 rng(5);
    CBlowfish cipher = MakeCipher(RandomBytes(rng, 8));
    const Bytes block = RandomBytes(rng, 8);
    EXPECT_EQ(Decrypt(cipher, block, CBlowfish::CBC), Decrypt(cipher, block, CBlowfish::ECB));
    EXPECT_EQ(Encrypt(cipher, block, CBlowfish::CBC), Encrypt(cipher, block, CBlowfish::ECB));
}

TEST(BlowfishBuffers, UnknownModesAreCodebook) {
    std::mt19937 rng(9);
    CBlowfish cipher = MakeCipher(RandomBytes(rng, 8), RandomBytes(rng, 8));
    const Bytes data = RandomBytes(rng, 64);
    for (int mode : {3, -1, 255}) {
        EXPECT_EQ(Encrypt(cipher, data, mode), Encrypt(cipher, data, CBlowfish::ECB)) << mode;
        EXPECT_EQ(Decrypt(cipher, data, mode), Decrypt(cipher, data, CBlowfish::ECB)) << mode;
    }
}

void ExpectInvalidArgument(const std::function<void()>& call, const char* message) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

TEST(BlowfishArguments, BufferLengthZeroOrPartialBlockIsRefused) {
    CBlowfish cipher = MakeCipher(FromHex("0011223344556677"));
    Bytes in(16, 0x5A), out(16, 0xEE);
    for (int mode : kModes) {
        for (size_t length : {size_t{0}, size_t{12}}) {
            SCOPED_TRACE(testing::Message() << "length " << length << " mode " << mode);
            ExpectInvalidArgument([&] { cipher.Encrypt(in.data(), out.data(), length, mode); },
                                  "Incorrect buffer length");
            ExpectInvalidArgument([&] { cipher.Decrypt(in.data(), out.data(), length, mode); },
                                  "Incorrect buffer length");
            EXPECT_EQ(out, Bytes(16, 0xEE));
        }
    }
}

TEST(BlowfishArguments, EmptyKeyIsRefusedAndKeepsTheOldSchedule) {
    const Bytes key = FromHex("0123456789ABCDEF");
    CBlowfish cipher = MakeCipher(key);
    const Bytes block = FromHex("1111111111111111");
    ExpectInvalidArgument([&] { cipher.Initialize(key.data(), 0, kZeroIv.data()); }, "Incorrect key length");
    EXPECT_EQ(Encrypt(cipher, block, CBlowfish::ECB), FromHex("61F9C3802281B096"));
}

TEST(BlowfishArguments, KeysBeyondFiftySixBytesUseTheirFirstFiftySix) {
    std::mt19937 rng(13);
    const Bytes data = RandomBytes(rng, 64);
    for (size_t length : {57u, 64u, 72u, 200u}) {
        const Bytes longKey = RandomBytes(rng, length);
        CBlowfish full = MakeCipher(longKey);
        CBlowfish cut = MakeCipher(Bytes(longKey.begin(), longKey.begin() + 56));
        EXPECT_EQ(Encrypt(full, data, CBlowfish::CBC), Encrypt(cut, data, CBlowfish::CBC)) << length;
    }
    // Byte 56 really is ignored, while byte 55 still counts.
    Bytes key(57, 0x42);
    CBlowfish base = MakeCipher(key);
    key[56] ^= 0xFF;
    CBlowfish changedTail = MakeCipher(key);
    EXPECT_EQ(Encrypt(base, data, CBlowfish::ECB), Encrypt(changedTail, data, CBlowfish::ECB));
    key[55] ^= 0xFF;
    CBlowfish changedLast = MakeCipher(key);
    EXPECT_NE(Encrypt(base, data, CBlowfish::ECB), Encrypt(changedLast, data, CBlowfish::ECB));
}

}  // namespace
