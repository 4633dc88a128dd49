// SPDX-License-Identifier: Apache-2.0
// The two replies the mode switches look into, over arbitrary bytes: the version reply (its
// platform text) and the phone status reply (RF mode and the second status word).
//
// Each is read twice: as the switches read it, from a zeroed 100-byte buffer holding what
// arrived, and from a buffer of exactly the bytes received, so a read past the reply is caught.
// Checks: both readings agree (bytes that never arrived read as 0); the platform depends only on
// byte 0 and bytes 39 to 46 and not on their case; the status words sit where counting the bytes
// other than 0x7D puts them.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "serial/handset_replies.h"

namespace {

constexpr size_t kReplyBuffer = 100;  // the switches' scratch buffer
constexpr uint8_t kEscape = 0x7D;

// The status words by a second route: list the positions of the counted bytes first.
StatusWords StatusWordsByPositions(const std::vector<uint8_t>& reply) {
    std::vector<size_t> counted;
    for (size_t i = 0; i < reply.size(); ++i)
        if (reply[i] != kEscape) counted.push_back(i);
    // Positions past the end continue one by one, as if zeros followed.
    auto position = [&](size_t n) { return n < counted.size() ? counted[n] : reply.size() + (n - counted.size()); };
    auto byteAt = [&](size_t i) -> uint16_t { return i < reply.size() ? reply[i] : 0; };
    StatusWords words;
    const size_t rf = position(8);
    words.rfMode = static_cast<uint16_t>(byteAt(rf) | byteAt(rf + 1) << 8);
    const size_t second = position(31) + 1;
    words.second = static_cast<uint16_t>(byteAt(second) | byteAt(second + 1) << 8);
    return words;
}

void CheckVersionReply(const std::vector<uint8_t>& exact, const uint8_t (&padded)[kReplyBuffer]) {
    const EMobilePlatform platform = PlatformOfVersionReply(exact.data(), exact.size());
    FUZZ_CHECK(platform >= PLATFORM_MSM5105 && platform <= PLATFORM_OTHER);
    // A reply that reaches the text reads the same from the zeroed buffer.
    if (exact.size() <= kReplyBuffer && exact.size() >= kPlatformTextOffset + kPlatformTextSize)
        FUZZ_CHECK(PlatformOfVersionReply(padded, kReplyBuffer) == platform);

    // Only byte 0 and the text matter, and the text is read without regard to case.
    std::vector<uint8_t> other(exact.size(), 0xA5);
    for (size_t i = 0; i < exact.size(); ++i) {
        const bool looked = i == 0 || (i >= kPlatformTextOffset && i < kPlatformTextOffset + kPlatformTextSize);
        if (looked) other[i] = static_cast<uint8_t>(std::toupper(exact[i]));
    }
    FUZZ_CHECK(PlatformOfVersionReply(other.data(), other.size()) == platform);
    if (!exact.empty() && exact[0] != kVersionReplyCode) FUZZ_CHECK(platform == PLATFORM_OTHER);
}

void CheckStatusReply(const std::vector<uint8_t>& exact, const uint8_t (&padded)[kReplyBuffer]) {
    const StatusWords words = ReadStatusWords(exact.data(), exact.size());
    const StatusWords expected = StatusWordsByPositions(exact);
    FUZZ_CHECK(words.rfMode == expected.rfMode && words.second == expected.second);
    if (exact.size() <= kReplyBuffer) {
        const StatusWords fromBuffer = ReadStatusWords(padded, kReplyBuffer);
        // The zeros after a short reply read exactly as bytes past its end do.
        FUZZ_CHECK(fromBuffer.rfMode == words.rfMode && fromBuffer.second == words.second);
    }
    const bool offline = IsOfflineStatus(words);
    FUZZ_CHECK(offline == ((words.rfMode == 0 && words.second == 6) || (words.rfMode == 1 && words.second == 2)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> exact(data, data + size);
    uint8_t padded[kReplyBuffer] = {};
    std::memcpy(padded, data, std::min(size, kReplyBuffer));
    CheckVersionReply(exact, padded);
    CheckStatusReply(exact, padded);
    FUZZ_CHECK(PlatformOfVersionReply(nullptr, size) == PLATFORM_OTHER);
    const StatusWords none = ReadStatusWords(nullptr, size);
    FUZZ_CHECK(none.rfMode == 0 && none.second == 0);
    return 0;
}
