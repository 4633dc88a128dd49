// SPDX-License-Identifier: Apache-2.0
#include "sim_test_bytes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "link/frame_bytes.h"
#include "link/packet_packer.h"
#include "link/packet_unpacker.h"

Bytes Hex(const std::string& text) {
    Bytes bytes;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

std::string ToHex(std::span<const uint8_t> bytes) {
    std::string text;
    char digits[4];
    for (uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", b);
        text += digits;
    }
    if (!text.empty()) text.pop_back();
    return text;
}

Bytes DiagFrame(const Bytes& payload) { return PackPacket(payload, FRAME_NO_LEAD, FRAME_FLAG); }

Bytes DlFrame(const Bytes& payload) { return PackPacket(payload, FRAME_FLAG, FRAME_FLAG); }

Bytes WritePacket(uint32_t address, std::span<const uint8_t> data) {
    Bytes packet(520, 0);
    packet[0] = 0x70;
    packet[1] = 0x01;
    for (int i = 0; i < 4; ++i) packet[2 + static_cast<size_t>(i)] = static_cast<uint8_t>(address >> (8 * i));
    packet[6] = static_cast<uint8_t>(data.size() & 0xFF);
    packet[7] = static_cast<uint8_t>(data.size() >> 8);
    std::copy(data.begin(), data.end(), packet.begin() + 8);
    return packet;
}

Bytes DetectionPacket() { return Hex("61 74 0D 1C D5 7E 06 4E 95 7E"); }

Bytes Feed(HandsetModel& model, const Bytes& bytes, HandsetEvents* events) {
    Bytes answer;
    const HandsetEvents got = model.Receive(bytes, answer);
    if (events) *events = got;
    return answer;
}

std::vector<Bytes> DecodeFrames(const Bytes& answer, bool dl) {
    CPacketUnpacker unpacker;
    unpacker.SetMode(dl ? CPacketUnpacker::MODE_DL : 5);
    std::vector<Bytes> frames;
    for (uint8_t b : answer) {
        const int32_t result = unpacker.PutByte(b);
        if (result > 0) {
            frames.emplace_back(unpacker.GetBuffer(), unpacker.GetBuffer() + result);
            unpacker.Reset();
        } else if (result < 0) {
            frames.push_back({});  // marks a broken frame
            unpacker.Reset();
        }
    }
    return frames;
}

StatusWords ReadStatusWords(const Bytes& raw) {
    StatusWords words;
    int counted = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == FRAME_ESCAPE) continue;
        ++counted;
        if (counted == 9 && i + 1 < raw.size()) words.rfMode = static_cast<uint16_t>(raw[i] | raw[i + 1] << 8);
        if (counted == 32 && i + 2 < raw.size()) {
            words.second = static_cast<uint16_t>(raw[i + 1] | raw[i + 2] << 8);
            break;
        }
    }
    return words;
}

Bytes MakeLoad(size_t n) {
    Bytes load(n);
    for (size_t i = 0; i < n; ++i) load[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    return load;
}
