// SPDX-License-Identifier: Apache-2.0
#include "engine/handset_info.h"

#include "engine/dl_packets.h"
#include "engine/version_text.h"
#include "log/log.h"
#include "serial/handset_identity.h"
#include "serial/handset_replies.h"

namespace {

constexpr const char* kSource = "ReadHandsetInfo";
constexpr int32_t kQueryTimeoutMs = 5000;
constexpr int32_t kPlatformReplyMax = 128;
constexpr uint8_t kPlatformRequest[] = {kVersionReplyCode};
constexpr uint8_t kStatusRequest[] = {kStatusReplyCode};
constexpr int32_t kStatusReplyMax = 128;
constexpr int32_t kGsnTimeoutMs = 2000;

}  // namespace

std::string PlatformTextOf(const uint8_t* reply, int32_t length) {
    if (length < static_cast<int32_t>(kPlatformTextOffset + kPlatformTextSize) || reply[0] != kVersionReplyCode)
        return {};
    std::string text;
    for (size_t i = 0; i < kPlatformTextSize; ++i) {
        const uint8_t c = reply[kPlatformTextOffset + i];
        if (c >= 0x20 && c < 0x7F) text.push_back(static_cast<char>(c));
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string AskPlatformText(CSerCOMLibrary& link) {
    uint8_t platform[kPlatformReplyMax] = {};
    const int32_t result =
        link.DIAGTxRx(kPlatformRequest, sizeof kPlatformRequest, platform, sizeof platform, kQueryTimeoutMs);
    return PlatformTextOf(platform, result);
}

std::optional<uint32_t> AskEsn(CSerCOMLibrary& link) {
    if (link.Mode() == PHONE_MODE_DS) {
        return EsnOfGsnReply(link.AtExchange(kGsnCommand, kGsnCommandSize, kGsnTimeoutMs));
    }
    if (link.Mode() != PHONE_MODE_DIAG) return std::nullopt;
    uint8_t reply[kStatusReplyMax] = {};
    const int32_t result = link.DIAGTxRx(kStatusRequest, sizeof kStatusRequest, reply, sizeof reply, kQueryTimeoutMs);
    return result > 0 ? EsnOfStatusPayload(reply, static_cast<size_t>(result)) : std::nullopt;
}

int32_t ReadHandsetInfo(CSerCOMLibrary& link, const char* portName, HandsetInfo& info) {
    info = HandsetInfo{};
    int32_t result = link.OpenComport("Handset information", portName);
    if (result < 0) return result;
    result = link.IsDIAGConnected();
    info.foundMode = link.FirstModeFound();
    if (result == SERCOM_ERR_DL_NOT_DIAG) {
        info.mode = PHONE_MODE_DL;
        link.CloseCOMPort();
        return 1;
    }
    if (result < 0) {
        link.CloseCOMPort();
        return result;
    }
    info.mode = PHONE_MODE_DIAG;

    uint8_t scratch[dlpacket::RESPONSE_BLOCK_CHECK] = {};
    link.ReadReturnPacket(scratch, sizeof scratch);  // answers nobody asked for
    uint8_t version[dlpacket::RESPONSE_VERSION] = {};
    result = link.DIAGTxRx(dlpacket::VERSION_QUERY, sizeof dlpacket::VERSION_QUERY, version, sizeof version,
                           kQueryTimeoutMs);
    if (result > static_cast<int32_t>(dlpacket::VERSION_BYTE_MINOR)) {
        info.softwareVersion =
            OldVersionOf(version[dlpacket::VERSION_BYTE_MAJOR], version[dlpacket::VERSION_BYTE_MINOR]);
    } else {
        LogWritePort(LOG_ER, link.PortName(), kSource, "The handset gave no version: %X.",
                     static_cast<unsigned>(result));
    }
    info.platform = AskPlatformText(link);
    info.esn = AskEsn(link);
    link.CloseCOMPort();
    return 1;
}
