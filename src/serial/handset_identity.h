// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The handset's identity: its ESN (electronic serial number, 32 bits), as the phone status reply
// gives it (bytes 4..7, low byte first) and as AT+GSN does in AT data mode.

inline constexpr size_t kStatusEsnOffset = 4;
inline constexpr char kGsnCommand[] = "at+gsn\r";
inline constexpr size_t kGsnCommandSize = 7;

// The ESN of a status reply payload as the frame decoder hands it over (unescaped): byte 0 must
// be 0x0C and bytes 4..7 present; none otherwise.
std::optional<uint32_t> EsnOfStatusPayload(const uint8_t* payload, size_t size);
// The same from the bytes of a status reply as they came over the line (HDLC-escaped: 0x7D,
// then the byte XOR 0x20), up to the closing 0x7E; a leading flag is passed over. None when the
// reply ends before byte 7 or is no status reply.
std::optional<uint32_t> EsnOfStatusLine(const uint8_t* bytes, size_t size);
// The ESN in what AT+GSN answered: the first line that is 8 hex digits, with or without "0x" or
// "+GSN:" in front (the echo, blank lines and OK pass by). None when no line is.
std::optional<uint32_t> EsnOfGsnReply(std::string_view text);

// "8F2A10C4": 8 upper-case hex digits, as labels print it.
std::string EsnText(uint32_t esn);
// "14302756804": the manufacturer code (top 8 bits, 3 digits), then the serial (24 bits, 8).
std::string EsnDecimal(uint32_t esn);
