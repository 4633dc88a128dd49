// SPDX-License-Identifier: Apache-2.0
#include "handset_model.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "handset_replies.h"
#include "link/frame_bytes.h"
#include "link/packet_packer.h"

using namespace handset;

namespace {

constexpr std::array<uint8_t, 3> QUIET_MESSAGES = {0x1F, 0xFF, 0x00};
constexpr std::array<uint8_t, 2> QUIET_EVENTS = {0x60, 0x00};
constexpr std::array<uint8_t, 8> QUIET_LOGS = {0x73, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<uint8_t, 3> OFFLINE_COMMAND = {0x29, 0x01, 0x00};
constexpr std::array<uint8_t, 4> VERSION_QUERY = {0x4B, 0x00, 0x01, 0x00};

template <size_t N>
bool Equals(std::span<const uint8_t> bytes, const std::array<uint8_t, N>& expected) {
    return std::equal(bytes.begin(), bytes.end(), expected.begin(), expected.end());
}

uint16_t Word(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

uint32_t Dword(std::span<const uint8_t> bytes, size_t offset) {
    return static_cast<uint32_t>(Word(bytes, offset)) | static_cast<uint32_t>(Word(bytes, offset + 2)) << 16;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Block number of a load offset: 0 for the first packet's bytes, then 1, 2, ... for each
// 0x20000 bytes from 0x200.
int BlockOf(uint32_t address) {
    return address < FIRST_BLOCK_START ? 0 : static_cast<int>((address - FIRST_BLOCK_START) / BLOCK_SIZE) + 1;
}

}  // namespace

const char* HandsetModeName(HandsetMode mode) {
    switch (mode) {
    case HandsetMode::DS: return "DS";
    case HandsetMode::DIAG: return "DIAG";
    case HandsetMode::DL: return "DL";
    }
    return "?";
}

HandsetModel::HandsetModel(HandsetConfig config) : m_config(std::move(config)), m_mode(m_config.startMode) {}

bool HandsetModel::Offline() const {
    return m_offlineRequested && m_config.offlineAfterPolls && m_pollsSinceOffline >= *m_config.offlineAfterPolls;
}

void HandsetModel::Note(const std::string& text) const {
    if (m_note) m_note(text);
}

void HandsetModel::DropPartialInput() {
    m_unpacker.Reset();
    m_atLine.clear();
}

void HandsetModel::PowerOn(HandsetMode mode) {
    m_offlineRequested = false;
    m_pollsSinceOffline = 0;
    m_lastWriteBlock = -1;
    m_writesSinceCheck = false;
    m_unaskedSent = false;
    EnterMode(mode);
}

void HandsetModel::EnterMode(HandsetMode mode) {
    Note(std::string("mode ") + HandsetModeName(m_mode) + " -> " + HandsetModeName(mode));
    m_mode = mode;
    DropPartialInput();
}

HandsetEvents HandsetModel::Receive(std::span<const uint8_t> bytes, std::vector<uint8_t>& reply) {
    HandsetEvents events;
    for (size_t i = 0; i < bytes.size() && !events.disconnect; ++i) {
        if (m_mode == HandsetMode::DS) {
            ReceiveAtByte(bytes[i], reply);
            continue;
        }
        const int32_t result = m_unpacker.PutByte(bytes[i]);
        if (result > 0) {
            const uint8_t* frame = m_unpacker.GetBuffer();
            const size_t length = static_cast<size_t>(result);
            HandleFrame({frame, length}, {frame, length + 2}, reply, events);
            m_unpacker.Reset();
        }
        // A negative result leaves the decoder empty (or hunting after an oversized frame):
        // a bad frame is simply not answered.
    }
    return events;
}

void HandsetModel::ReceiveAtByte(uint8_t byte, std::vector<uint8_t>& reply) {
    reply.push_back(byte);  // echo, as a modem does
    if (byte == '\r') {
        HandleAtLine(reply);
        m_atLine.clear();
        return;
    }
    if (m_atLine.size() == AT_LINE_MAX) m_atLine.erase(m_atLine.begin());
    m_atLine.push_back(byte);
}

void HandsetModel::HandleAtLine(std::vector<uint8_t>& reply) {
    std::string line;
    for (uint8_t c : m_atLine) line.push_back(static_cast<char>(std::tolower(c)));
    const size_t at = line.find("at");
    if (at == std::string::npos) return;  // no command on this line: only the echo
    const std::string command = line.substr(at + 2);
    const bool known = command.empty() || command == "$qcdmg" || command == "+gsn";
    std::string answer = known ? "\r\nOK\r\n" : "\r\nERROR\r\n";
    if (command == "+gsn") answer = "\r\n" + GsnText(Esn(), m_config.gsnFormat) + "\r\n" + answer;
    reply.insert(reply.end(), answer.begin(), answer.end());
    Note("AT command \"at" + command + "\" " + (known ? "OK" : "ERROR"));
    if (command == "$qcdmg") EnterMode(HandsetMode::DIAG);
}

void HandsetModel::HandleFrame(std::span<const uint8_t> payload, std::span<const uint8_t> body,
                               std::vector<uint8_t>& reply, HandsetEvents& events) {
    if (m_mode == HandsetMode::DIAG) {
        HandleDiag(payload, body, reply);
    } else {
        HandleDl(payload, reply, events);
    }
}

void HandsetModel::Reply(std::span<const uint8_t> payload, std::vector<uint8_t>& reply) const {
    const uint8_t lead = m_mode == HandsetMode::DL ? FRAME_FLAG : FRAME_NO_LEAD;
    const std::vector<uint8_t> frame = PackPacket(payload, lead, FRAME_FLAG);
    reply.insert(reply.end(), frame.begin(), frame.end());
}

void HandsetModel::HandleDiag(std::span<const uint8_t> payload, std::span<const uint8_t> body,
                              std::vector<uint8_t>& reply) {
    const uint8_t code = payload[0];
    if (code == DIAG_VERSION_REQUEST && payload.size() == 1) {
        Reply(VersionRequestReply(m_config.platform), reply);
    } else if (code == DIAG_STATUS_REQUEST && payload.size() == 1 && m_config.statusReply) {
        HandleStatusRequest(reply);
    } else if (Equals(payload, QUIET_MESSAGES) || Equals(payload, QUIET_EVENTS) || Equals(payload, QUIET_LOGS)) {
        Reply(payload, reply);
    } else if (Equals(payload, OFFLINE_COMMAND)) {
        Reply(payload, reply);
        if (!m_offlineRequested) Note("offline command taken");
        m_offlineRequested = true;
    } else if (Equals(payload, VERSION_QUERY)) {
        Reply(VersionQueryReply(m_config.versionNumbers[0], m_config.versionNumbers[1]), reply);
    } else if (code == DIAG_CHANGE_TO_DL && payload.size() == 1) {
        Reply(payload, reply);
        EnterMode(HandsetMode::DL);
    } else {
        Reply(BadCommandReply(m_config.replyPattern, body), reply);
    }
}

void HandsetModel::HandleStatusRequest(std::vector<uint8_t>& reply) {
    const bool offline = Offline();
    Reply(StatusReply(m_config.rfMode, offline, m_config.statusEscapes, Esn()), reply);
    if (m_offlineRequested && !offline) {
        ++m_pollsSinceOffline;
        if (Offline()) Note("offline from the next status request on");
    }
}

void HandsetModel::HandleDl(std::span<const uint8_t> payload, std::vector<uint8_t>& reply, HandsetEvents& events) {
    const uint8_t code = payload[0];
    if (code == DL_NOP && payload.size() == 1) {
        HandleNop(reply, events);
    } else if (code == DL_RESET && payload.size() == 1) {
        Reply(DlAck(), reply);
        Note("reset");
        events.reset = true;
        m_offlineRequested = false;
        m_pollsSinceOffline = 0;
        EnterMode(m_config.startMode);
    } else if (code == DL_GROUP && payload.size() >= 2) {
        HandleDlGroup(payload, reply, events);
    } else {
        Note("DL request " + Hex(code) + " of " + std::to_string(payload.size()) + " bytes ignored");
    }
}

void HandsetModel::HandleNop(std::vector<uint8_t>& reply, HandsetEvents& events) {
    const bool refuse =
        m_config.badCheckAfterBlock != 0 && m_writesSinceCheck && m_lastWriteBlock == m_config.badCheckAfterBlock;
    m_writesSinceCheck = false;
    if (refuse) {
        Note("check after block " + std::to_string(m_lastWriteBlock) + " refused");
        Reply(DlNak(), reply);
        events.refused = true;
    } else {
        Reply(DlAck(), reply);
    }
}

void HandsetModel::HandleDlGroup(std::span<const uint8_t> payload, std::vector<uint8_t>& reply, HandsetEvents& events) {
    const uint8_t action = payload[1];
    if (action == DL_WRITE) {
        HandleWritePacket(payload, reply, events);
        return;
    }
    if (payload.size() != 2) {
        Reply(DlGroupReply(DL_STATUS_BAD_PACKET), reply);
        return;
    }
    switch (action) {
    case DL_START:
        m_image.Clear();
        m_lastWriteBlock = -1;
        m_writesSinceCheck = false;
        m_unaskedSent = false;
        Note("start of download, status " + Hex(m_config.startStatus));
        Reply(DlGroupReply(m_config.startStatus), reply);
        events.refused = m_config.startStatus != 0;
        break;
    case DL_END:
        Note(m_config.failFinal ? "end of download failed" : "end of download");
        Reply(DlGroupReply(m_config.failFinal ? DL_STATUS_FAILED : DL_STATUS_OK), reply);
        events.refused = m_config.failFinal;
        break;
    case DL_NAND:
        Note(m_config.failNand ? "write to NAND failed" : "write to NAND");
        Reply(DlGroupReply(m_config.failNand ? DL_STATUS_FAILED : DL_STATUS_OK), reply);
        events.nandWrite = true;
        events.refused = m_config.failNand;
        break;
    default: Reply(DlGroupReply(DL_STATUS_BAD_PACKET), reply); break;
    }
}

void HandsetModel::HandleWritePacket(std::span<const uint8_t> payload, std::vector<uint8_t>& reply,
                                     HandsetEvents& events) {
    const bool wellFormed = payload.size() == WRITE_PACKET_SIZE;
    const uint32_t address = wellFormed ? Dword(payload, 2) : 0;
    const size_t length = wellFormed ? Word(payload, 6) : 0;
    const bool lengthOk = length >= 1 && length <= WRITE_DATA_MAX;
    const auto padding = payload.subspan(std::min(payload.size(), WRITE_HEADER_SIZE + length));
    const bool paddingZero = std::all_of(padding.begin(), padding.end(), [](uint8_t b) { return b == 0; });
    if (!wellFormed || !lengthOk || !paddingZero ||
        !m_image.Write(address, payload.subspan(WRITE_HEADER_SIZE, length))) {
        Note("bad write packet (" + std::to_string(payload.size()) + " bytes, address " + Hex(address) + ", length " +
             std::to_string(length) + ")");
        Reply(DlGroupReply(DL_STATUS_BAD_PACKET), reply);
        return;
    }

    const int block = BlockOf(address);
    m_lastWriteBlock = block;
    m_writesSinceCheck = true;

    if (m_config.disconnectAfterBytes && m_image.ReceivedBytes() >= *m_config.disconnectAfterBytes) {
        Note("line dropped after " + std::to_string(m_image.ReceivedBytes()) + " load bytes");
        events.disconnect = true;
        return;
    }

    const uint64_t end = static_cast<uint64_t>(address) + length;
    const bool completesBlock = end > FIRST_BLOCK_START && (end - FIRST_BLOCK_START) % BLOCK_SIZE == 0;
    if (address == 0 || completesBlock) {
        const bool fail = completesBlock && block == m_config.badBlockStatus;
        if (completesBlock) Note("block " + std::to_string(block) + (fail ? " failed" : " taken"));
        Reply(DlGroupReply(fail ? DL_STATUS_FAILED : DL_STATUS_OK), reply);
        events.refused = fail;
    } else if (block != 0 && block == m_config.unaskedResponseInBlock && !m_unaskedSent) {
        Note("unasked answer in block " + std::to_string(block));
        m_unaskedSent = true;
        Reply(DlGroupReply(DL_STATUS_OK), reply);
    }
}
