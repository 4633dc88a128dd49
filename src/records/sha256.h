// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// SHA-256 (FIPS 180-4), our own so that the record store needs no crypto library on either
// system. Feed bytes with Update, then take the digest once with Final.
class Sha256 {
public:
    Sha256();
    void Update(const void* data, size_t length);
    void Update(std::string_view text) { Update(text.data(), text.size()); }
    std::array<uint8_t, 32> Final();

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_buffer{};
    size_t m_buffered = 0;
    uint64_t m_length = 0;  // bytes fed so far
};

// The digest as 64 lower-case hex digits.
std::string HexDigest(const std::array<uint8_t, 32>& digest);
// SHA-256 of text as 64 lower-case hex digits.
std::string Sha256Hex(std::string_view text);
