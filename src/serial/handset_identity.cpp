// SPDX-License-Identifier: Apache-2.0
#include "serial/handset_identity.h"

#include <cctype>
#include <cstdio>

#include "serial/handset_replies.h"

namespace {

constexpr uint8_t kFlag = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kEscapeXor = 0x20;
constexpr size_t kEsnEnd = kStatusEsnOffset + 4;

uint32_t EsnAt(const uint8_t* payload) {
    uint32_t esn = 0;
    for (size_t i = 0; i < 4; ++i) esn |= static_cast<uint32_t>(payload[kStatusEsnOffset + i]) << (8 * i);
    return esn;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

std::optional<uint32_t> EsnOfGsnLine(std::string_view line) {
    line = Trimmed(line);
    if (StartsWithNoCase(line, "+gsn:")) line = Trimmed(line.substr(5));
    if (StartsWithNoCase(line, "0x")) line.remove_prefix(2);
    if (line.size() != 8) return std::nullopt;
    uint32_t esn = 0;
    for (const char c : line) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        esn = esn << 4 | static_cast<uint32_t>(digit);
    }
    return esn;
}

}  // namespace

std::optional<uint32_t> EsnOfStatusPayload(const uint8_t* payload, size_t size) {
    if (payload == nullptr || size < kEsnEnd || payload[0] != kStatusReplyCode) return std::nullopt;
    return EsnAt(payload);
}

std::optional<uint32_t> EsnOfStatusLine(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr) return std::nullopt;
    uint8_t payload[kEsnEnd] = {};
    size_t got = 0;
    size_t i = 0;
    while (i < size && bytes[i] == kFlag) ++i;  // a leading flag opens no byte
    for (; i < size && got < kEsnEnd; ++i) {
        uint8_t byte = bytes[i];
        if (byte == kFlag) break;  // the frame ended first
        if (byte == kEscape) {
            if (++i == size || bytes[i] == kFlag) break;
            byte = static_cast<uint8_t>(bytes[i] ^ kEscapeXor);
        }
        payload[got++] = byte;
    }
    return EsnOfStatusPayload(payload, got);
}

std::optional<uint32_t> EsnOfGsnReply(std::string_view text) {
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        if (const auto esn = EsnOfGsnLine(line)) return esn;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return std::nullopt;
}

std::string EsnText(uint32_t esn) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(esn));
    return text;
}

std::string EsnDecimal(uint32_t esn) {
    char text[24];
    std::snprintf(text, sizeof text, "%03u%08u", static_cast<unsigned>(esn >> 24),
                  static_cast<unsigned>(esn & 0xFFFFFF));
    return text;
}
