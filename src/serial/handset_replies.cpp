// SPDX-License-Identifier: Apache-2.0
#include "serial/handset_replies.h"

#include <cctype>
#include <string>

EMobilePlatform PlatformOfVersionReply(const uint8_t* reply, size_t size) {
    if (!reply || size < kPlatformTextOffset + kPlatformTextSize || reply[0] != kVersionReplyCode) {
        return PLATFORM_OTHER;
    }
    std::string text;
    for (size_t i = 0; i < kPlatformTextSize; ++i) {
        text.push_back(static_cast<char>(std::tolower(reply[kPlatformTextOffset + i])));
    }
    // The text ends at its first NUL, as a C string would.
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    if (text.find("corvane") != std::string::npos) return PLATFORM_CORVANE;
    if (text.find("marlet") != std::string::npos) return PLATFORM_MARLET;
    if (text.find("msm5105") != std::string::npos) return PLATFORM_MSM5105;
    return PLATFORM_OTHER;
}

namespace {

constexpr uint8_t kEscape = 0x7D;

uint8_t ByteAt(const uint8_t* reply, size_t size, size_t index) { return index < size ? reply[index] : 0; }

uint16_t WordAt(const uint8_t* reply, size_t size, size_t index) {
    return static_cast<uint16_t>(ByteAt(reply, size, index) | ByteAt(reply, size, index + 1) << 8);
}

// Index of the counted-th byte that is not an escape byte (1-based count); size when the reply
// ends first.
size_t IndexOfCounted(const uint8_t* reply, size_t size, size_t counted) {
    size_t seen = 0;
    for (size_t i = 0; i < size; ++i) {
        if (reply[i] == kEscape) continue;
        if (++seen == counted) return i;
    }
    return size + (counted - seen);  // past the end: reads as zeros
}

}  // namespace

StatusWords ReadStatusWords(const uint8_t* reply, size_t size) {
    StatusWords words;
    if (!reply) return words;
    words.rfMode = WordAt(reply, size, IndexOfCounted(reply, size, 9));
    words.second = WordAt(reply, size, IndexOfCounted(reply, size, 32) + 1);
    return words;
}

bool IsOfflineStatus(const StatusWords& words) {
    return (words.rfMode == 0 && words.second == 6) || (words.rfMode == 1 && words.second == 2);
}
