// SPDX-License-Identifier: Apache-2.0
#include "handset_replies.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "link/frame_bytes.h"

namespace handset {

namespace {

void AppendEscaped(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) {
        if (FrameByteNeedsEscape(b)) {
            out.push_back(FRAME_ESCAPE);
            out.push_back(static_cast<uint8_t>(b ^ FRAME_ESCAPE_XOR));
        } else {
            out.push_back(b);
        }
    }
}

void PutWord(std::vector<uint8_t>& out, size_t offset, uint16_t value) {
    out[offset] = static_cast<uint8_t>(value & 0xFF);
    out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutText(std::vector<uint8_t>& out, size_t offset, std::string_view text) {
    std::copy(text.begin(), text.end(), out.begin() + static_cast<ptrdiff_t>(offset));
}

}  // namespace

std::vector<uint8_t> BadCommandReply(int pattern, std::span<const uint8_t> frameBody) {
    std::vector<uint8_t> reply;
    if (pattern == 1) {
        reply.push_back(DIAG_BAD_COMMAND_RAW);
        AppendEscaped(reply, frameBody);
        reply.push_back(FRAME_FLAG);
    } else {
        const size_t payload = frameBody.size() >= 2 ? frameBody.size() - 2 : 0;
        reply.resize(1 + payload);
        reply[0] = DIAG_BAD_COMMAND;
        std::copy_n(frameBody.begin(), payload, reply.begin() + 1);
    }
    return reply;
}

std::vector<uint8_t> VersionQueryReply(uint8_t first, uint8_t second) {
    return {DIAG_SUBSYSTEM, 0x00, 0x01, 0x00, 0x00, 0x00, first, second};
}

std::vector<uint8_t> VersionRequestReply(std::string_view platform) {
    // Compile date and time, release date and time (bytes 1..38), then the platform text; the
    // remaining bytes (model and hardware numbers) are zero. No byte before the platform text
    // may need escaping: the tool reads this reply as raw line bytes.
    std::vector<uint8_t> reply(VERSION_REPLY_SIZE, 0);
    reply[0] = DIAG_VERSION_REQUEST;
    PutText(reply, 1, "Jan 01 2004");
    PutText(reply, 12, "12:00:00");
    PutText(reply, 20, "Jan 01 2004");
    PutText(reply, 31, "12:00:00");
    std::string text(platform.substr(0, PLATFORM_LENGTH));
    text.resize(PLATFORM_LENGTH, ' ');
    PutText(reply, PLATFORM_OFFSET, text);
    return reply;
}

std::vector<uint8_t> StatusReply(uint16_t rfMode, bool offline, int escapes, uint32_t esn) {
    std::vector<uint8_t> reply(STATUS_REPLY_SIZE, 0);
    reply[0] = DIAG_STATUS_REQUEST;
    for (size_t i = 0; i < 4; ++i) reply[STATUS_ESN_OFFSET + i] = static_cast<uint8_t>(esn >> (8 * i));
    for (int i = 1; i <= std::clamp(escapes, 0, STATUS_ESCAPES_MAX); ++i) reply[static_cast<size_t>(i)] = FRAME_FLAG;
    PutWord(reply, STATUS_RF_MODE_OFFSET, rfMode);
    const uint16_t offlineWord = rfMode == 0 ? 6 : 2;
    PutWord(reply, STATUS_WORD_OFFSET, offline ? offlineWord : 0);
    return reply;
}

std::string GsnText(uint32_t esn, HandsetConfig::GsnFormat format) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(esn));
    switch (format) {
    case HandsetConfig::GsnFormat::kPrefixed: return std::string("+GSN: ") + digits;
    case HandsetConfig::GsnFormat::kHex: return std::string("0x") + digits;
    case HandsetConfig::GsnFormat::kPlain: break;
    }
    return digits;
}

std::vector<uint8_t> DlGroupReply(uint16_t status) {
    return {DL_GROUP, static_cast<uint8_t>(status & 0xFF), static_cast<uint8_t>(status >> 8)};
}

std::vector<uint8_t> DlAck() { return {DL_ACK}; }

std::vector<uint8_t> DlNak() { return {DL_NAK, 0x00, 0x01}; }

}  // namespace handset
