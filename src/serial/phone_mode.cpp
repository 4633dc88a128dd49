// SPDX-License-Identifier: Apache-2.0
#include "serial/phone_mode.h"

#include <cstring>

namespace {

struct ReplyPattern {
    const uint8_t* bytes;
    size_t size;
    EPhoneMode mode;
};

// "at\r" echoed, "\r\nOK\r\n", then the echo of the rest of the DIAG frame.
constexpr uint8_t kDsReply[] = {0x61, 0x74, 0x0D, 0x0D, 0x0A, 0x4F, 0x4B, 0x0D, 0x0A, 0x1C, 0xD5, 0x7E};
// Response 0x14 (bad length) echoing the request frame, its 0x7E escaped.
constexpr uint8_t kDiagReply1[] = {0x14, 0x61, 0x74, 0x0D, 0x1C, 0xD5, 0x7D, 0x5E};
// Response 0x13 (bad command) with the request payload, its own CRC and flag.
constexpr uint8_t kDiagReply2[] = {0x13, 0x61, 0x74, 0x0D, 0x62, 0x09, 0x7E};
// The download protocol's acknowledgement between two flags.
constexpr uint8_t kDlReply[] = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};

constexpr ReplyPattern kPatterns[] = {
    {kDsReply, sizeof kDsReply, PHONE_MODE_DS},
    {kDiagReply1, sizeof kDiagReply1, PHONE_MODE_DIAG},
    {kDiagReply2, sizeof kDiagReply2, PHONE_MODE_DIAG},
    {kDlReply, sizeof kDlReply, PHONE_MODE_DL},
};

}  // namespace

ReplyVerdict ClassifyReplyPrefix(const uint8_t* bytes, size_t count) {
    const EPhoneMode mode = ClassifyReply(bytes, count);
    if (mode != PHONE_MODE_UNKNOWN || !bytes || count == 0) return {mode, mode != PHONE_MODE_UNKNOWN};
    for (const ReplyPattern& pattern : kPatterns) {
        if (count < pattern.size && std::memcmp(bytes, pattern.bytes, count) == 0) return {PHONE_MODE_UNKNOWN, false};
    }
    return {PHONE_MODE_UNKNOWN, true};
}

bool IsWholeDetectionReply(const uint8_t* bytes, size_t count) {
    if (!bytes) return false;
    size_t flags = 0;
    for (size_t i = 0; i < count && flags < 2; ++i) flags += bytes[i] == 0x7E;
    return flags >= 2;
}

EPhoneMode ClassifyReply(const uint8_t* bytes, size_t count) {
    if (!bytes) return PHONE_MODE_UNKNOWN;
    for (const ReplyPattern& pattern : kPatterns) {
        if (count >= pattern.size && std::memcmp(bytes, pattern.bytes, pattern.size) == 0) return pattern.mode;
    }
    return PHONE_MODE_UNKNOWN;
}
