// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "handset_config.h"

// Request codes the simulated handset knows and the payloads of its replies (before framing).

namespace handset {

// DIAG requests (first payload byte).
constexpr uint8_t DIAG_VERSION_REQUEST = 0x00;  // answered with the platform text at bytes 39..46
constexpr uint8_t DIAG_STATUS_REQUEST = 0x0C;   // phone status
constexpr uint8_t DIAG_QUIET_MESSAGES = 0x1F;   // quiet request 1F FF 00
constexpr uint8_t DIAG_OFFLINE_COMMAND = 0x29;  // 29 01 00
constexpr uint8_t DIAG_CHANGE_TO_DL = 0x3A;     // switch to download mode
constexpr uint8_t DIAG_SUBSYSTEM = 0x4B;        // 4B 00 01 00 is the version query
constexpr uint8_t DIAG_QUIET_EVENTS = 0x60;     // quiet request 60 00
constexpr uint8_t DIAG_QUIET_LOGS = 0x73;       // quiet request 73 + seven zero bytes
constexpr uint8_t DIAG_BAD_COMMAND_RAW = 0x14;  // reply pattern 1
constexpr uint8_t DIAG_BAD_COMMAND = 0x13;      // reply pattern 2

// DL requests and replies.
constexpr uint8_t DL_ACK = 0x02;
constexpr uint8_t DL_NAK = 0x03;
constexpr uint8_t DL_NOP = 0x06;
constexpr uint8_t DL_RESET = 0x0A;
constexpr uint8_t DL_GROUP = 0x70;
constexpr uint8_t DL_START = 0x00;
constexpr uint8_t DL_WRITE = 0x01;
constexpr uint8_t DL_END = 0x02;
constexpr uint8_t DL_NAND = 0x04;

// Status words of the 0x70 answers.
constexpr uint16_t DL_STATUS_OK = 0x0000;
constexpr uint16_t DL_STATUS_FAILED = 0x0001;      // fault knobs: bad block, end, NAND
constexpr uint16_t DL_STATUS_BAD_PACKET = 0x0002;  // malformed write packet, address out of range

// Write packet layout.
constexpr size_t WRITE_PACKET_SIZE = 520;
constexpr size_t WRITE_HEADER_SIZE = 8;
constexpr size_t WRITE_DATA_MAX = 512;
constexpr uint32_t FIRST_BLOCK_START = 0x200;
constexpr uint32_t BLOCK_SIZE = 0x20000;

// Version request reply: byte 0 is 0x00, the platform text at bytes 39..46.
constexpr size_t PLATFORM_OFFSET = 39;
constexpr size_t PLATFORM_LENGTH = 8;
constexpr size_t VERSION_REPLY_SIZE = 55;

// Phone status reply: RF mode word at bytes 8-9, second status word at bytes 32-33.
constexpr size_t STATUS_ESN_OFFSET = 4;  // bytes 4..7, low byte first
constexpr size_t STATUS_RF_MODE_OFFSET = 8;
constexpr size_t STATUS_WORD_OFFSET = 32;
constexpr size_t STATUS_REPLY_SIZE = 40;
constexpr int STATUS_ESCAPES_MAX = 7;

// A DIAG request the handset does not know. Pattern 1: 0x14 then the request frame as received
// (the escaped payload and CRC and the closing flag); pattern 2: 0x13 then the request payload.
// frameBody is the unescaped payload followed by its two CRC bytes.
std::vector<uint8_t> BadCommandReply(int pattern, std::span<const uint8_t> frameBody);

// Reply to the version query 4B 00 01 00: the request echoed, two zero bytes, the two numbers.
std::vector<uint8_t> VersionQueryReply(uint8_t first, uint8_t second);

// Reply to the version request 00: build dates and times as text, then the platform text.
std::vector<uint8_t> VersionRequestReply(std::string_view platform);

// Reply to the phone status request, the ESN at bytes 4..7. escapes bytes from byte 1 on are
// 0x7E (from 4 on, they stand in for the ESN's bytes).
std::vector<uint8_t> StatusReply(uint16_t rfMode, bool offline, int escapes, uint32_t esn);

// The text AT+GSN answers with (before the final OK): "+GSN: 8F2A10C4", "0x8F2A10C4" or the
// digits alone.
std::string GsnText(uint32_t esn, HandsetConfig::GsnFormat format);

// Answer to a 0x70 request: 0x70 and the status word, low byte first.
std::vector<uint8_t> DlGroupReply(uint16_t status);

std::vector<uint8_t> DlAck();
// A refusal of a no-operation: NAK with reason 0x0001.
std::vector<uint8_t> DlNak();

}  // namespace handset
