// SPDX-License-Identifier: Apache-2.0
#include "link/packet_packer.h"

#include <algorithm>
#include <cstring>

#include "link/crc.h"

namespace {

// Copies runs of plain bytes in one go; only the two flag values take the slow path.
uint8_t* WriteEscaped(uint8_t* out, const uint8_t* data, size_t length) {
    const uint8_t* const end = data + length;
    while (data < end) {
        const uint8_t* run = std::find_if(data, end, FrameByteNeedsEscape);
        const size_t plain = static_cast<size_t>(run - data);
        std::memcpy(out, data, plain);
        out += plain;
        data = run;
        if (data < end) {
            *out++ = FRAME_ESCAPE;
            *out++ = static_cast<uint8_t>(*data++ ^ FRAME_ESCAPE_XOR);
        }
    }
    return out;
}

}  // namespace

size_t PackPacket(std::span<const uint8_t> payload, uint8_t lead, uint8_t trail, std::span<uint8_t> out) {
    if (payload.size() > PACK_PAYLOAD_MAX || out.size() < PackedSizeMax(payload.size())) return 0;

    const uint16_t crc = Crc16Calc(payload.data(), static_cast<uint32_t>(payload.size() * 8));
    const uint8_t crcBytes[2] = {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};

    uint8_t* p = out.data();
    if (lead != FRAME_NO_LEAD) *p++ = lead;
    p = WriteEscaped(p, payload.data(), payload.size());
    p = WriteEscaped(p, crcBytes, sizeof crcBytes);
    *p++ = trail;
    return static_cast<size_t>(p - out.data());
}

std::vector<uint8_t> PackPacket(std::span<const uint8_t> payload, uint8_t lead, uint8_t trail) {
    if (payload.size() > PACK_PAYLOAD_MAX) return {};
    std::vector<uint8_t> frame(PackedSizeMax(payload.size()));
    frame.resize(PackPacket(payload, lead, trail, frame));
    return frame;
}
