// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "handset_model.h"

// Byte helpers for the simulator's tests: frames as the tool sends them, and the tool's way of
// reading the handset's answers back.

using Bytes = std::vector<uint8_t>;

// "61 74 0D" -> {0x61, 0x74, 0x0D}.
Bytes Hex(const std::string& text);
std::string ToHex(std::span<const uint8_t> bytes);

// Request frames in the tool's two forms.
Bytes DiagFrame(const Bytes& payload);
Bytes DlFrame(const Bytes& payload);

// A 520-byte write packet: 70 01, address, length, data, zero padding.
Bytes WritePacket(uint32_t address, std::span<const uint8_t> data);

// The detection packet.
Bytes DetectionPacket();

// Feeds bytes to the model; returns what it answered.
Bytes Feed(HandsetModel& model, const Bytes& bytes, HandsetEvents* events = nullptr);

// The payloads of the frames in an answer, decoded as the tool decodes them (DL: opening flag).
std::vector<Bytes> DecodeFrames(const Bytes& answer, bool dl);

// The status reply's words as the tool finds them in the raw line bytes: counting only bytes
// other than 0x7D, RF mode at the 9th counted byte, the second word after the 32nd.
struct StatusWords {
    uint16_t rfMode = 0xFFFF;
    uint16_t second = 0xFFFF;
};
StatusWords ReadStatusWords(const Bytes& raw);

// A load of n bytes whose content depends on the position (so misplaced bytes show).
Bytes MakeLoad(size_t n);
