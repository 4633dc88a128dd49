// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

// The fixed frames of the mode switches and the reading of the two replies they look into.
// Every DIAG frame here is payload + CRC-16/X-25 (low byte first) + 0x7E, no leading flag;
// none of these bytes needs escaping.

inline constexpr char kDsToDiagCommand[] = "at$qcdmg\r";  // 9 characters, not framed
inline constexpr size_t kDsToDiagCommandSize = 9;
inline constexpr uint8_t kQuietRequest1[] = {0x1F, 0xFF, 0x00, 0x5E, 0xF6, 0x7E};
inline constexpr uint8_t kQuietRequest2[] = {0x60, 0x00, 0x12, 0x6A, 0x7E};
inline constexpr uint8_t kQuietRequest3[] = {0x73, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xDA, 0x81, 0x7E};
inline constexpr uint8_t kVersionRequest[] = {0x00, 0x78, 0xF0, 0x7E};
inline constexpr uint8_t kPhoneStatusRequest[] = {0x0C, 0x14, 0x3A, 0x7E};
inline constexpr uint8_t kOfflineCommand[] = {0x29, 0x01, 0x00, 0x31, 0x40, 0x7E};
inline constexpr uint8_t kChangeModeCommand[] = {0x3A, 0xA1, 0x6E, 0x7E};

// The handset's software platform, from the version reply.
enum EMobilePlatform : int32_t {
    PLATFORM_MSM5105 = 0,
    PLATFORM_CORVANE = 1,  // needs no offline step, and a 10 s pause with the port closed after the switch
    PLATFORM_MARLET = 2,
    PLATFORM_OTHER = 3,
};

inline constexpr uint8_t kVersionReplyCode = 0x00;
inline constexpr size_t kPlatformTextOffset = 39;  // bytes 39..46 of the version reply
inline constexpr size_t kPlatformTextSize = 8;
inline constexpr uint8_t kStatusReplyCode = 0x0C;

// The platform named by bytes 39..46 of a version reply (lower-cased, searched for "corvane",
// "marlet", "msm5105" in that order). PLATFORM_OTHER when byte 0 is not 0x00, the reply is
// too short or no name is found.
EMobilePlatform PlatformOfVersionReply(const uint8_t* reply, size_t size);

// The two words of a phone status reply. Positions count only bytes that are not 0x7D (the
// escape byte); bytes are taken as received. RF mode is the little-endian word whose first
// byte is the 9th counted byte (0x7D bytes right after the 8th are passed over); the second
// word starts right after the 32nd counted byte. A byte past the end of the reply reads as 0.
struct StatusWords {
    uint16_t rfMode = 0;
    uint16_t second = 0;
};
StatusWords ReadStatusWords(const uint8_t* reply, size_t size);

// Offline: RF mode 0 with second word 6, or RF mode 1 with second word 2.
bool IsOfflineStatus(const StatusWords& words);
