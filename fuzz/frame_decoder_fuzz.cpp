// SPDX-License-Identifier: Apache-2.0
// The frame decoder over arbitrary line bytes, in DIAG and in DL mode.
//
// Checks, for each mode and for both ways an owner may treat a bad frame (reset at once, or let
// the decoder hunt for the next flag on its own):
// - PutBytes (the fast path the transaction layer uses) gives exactly the results, at exactly
//   the same bytes, and the same payloads as PutByte fed one byte at a time;
// - the frame buffer never holds more than its 16384 bytes, and a frame accepted carries a good
//   CRC and re-encodes to a frame that decodes to the same payload;
// - the input itself, taken as a payload, survives encoding and decoding (or is refused as the
//   16-bit bit count demands when it is 8192 bytes or longer with its CRC).
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "link/crc.h"
#include "link/frame_bytes.h"
#include "link/packet_packer.h"
#include "link/packet_unpacker.h"

namespace {

struct Outcome {
    size_t position;  // index of the byte that gave the result
    int32_t result;
    std::vector<uint8_t> payload;
    bool operator==(const Outcome&) const = default;
};

// Decoders are kept between inputs (their 16 KiB buffers are costly to make); a reset one
// behaves as a new one.
CPacketUnpacker& Fresh(int which, int32_t mode) {
    static CPacketUnpacker decoders[3];
    decoders[which].Reset();
    decoders[which].SetMode(mode);
    return decoders[which];
}

std::vector<uint8_t> Payload(const CPacketUnpacker& decoder, int32_t length) {
    return std::vector<uint8_t>(decoder.GetBuffer(), decoder.GetBuffer() + length);
}

// Owners reset after every complete frame; after a bad one they may reset or let it hunt.
void AfterResult(CPacketUnpacker& decoder, int32_t result, bool resetAfterBad) {
    if (result > 0 || resetAfterBad) decoder.Reset();
}

void CheckDecoderBounds(const CPacketUnpacker& decoder) {
    FUZZ_CHECK(decoder.GetCount() >= 0 && decoder.GetCount() <= CPacketUnpacker::BUFFER_SIZE);
    const int32_t state = decoder.GetState();
    FUZZ_CHECK(state == CPacketUnpacker::STATE_NORMAL || state == CPacketUnpacker::STATE_ESCAPED ||
               state == CPacketUnpacker::STATE_OPENED || state == CPacketUnpacker::STATE_HUNTING);
}

// Decodes a frame in a fresh decoder; the first non-zero result and the payload it names.
int32_t DecodeWhole(const std::vector<uint8_t>& frame, int32_t mode, std::vector<uint8_t>& payload) {
    CPacketUnpacker& decoder = Fresh(2, mode);
    for (size_t i = 0; i < frame.size(); ++i) {
        const int32_t result = decoder.PutByte(frame[i]);
        if (result == 0) continue;
        if (result > 0) {
            FUZZ_CHECK(i + 1 == frame.size());  // nothing may end the frame before its closing flag
            payload = Payload(decoder, result);
        }
        return result;
    }
    return 0;
}

void CheckAcceptedFrame(const CPacketUnpacker& decoder, int32_t length, int32_t mode) {
    FUZZ_CHECK(length > 0 && length + 2 <= decoder.GetCount());
    FUZZ_CHECK(Crc16Calc(decoder.GetBuffer(), static_cast<uint32_t>(length + 2) * 8) == CRC16_GOOD_FRAME);
    const std::vector<uint8_t> payload = Payload(decoder, length);
    // The first byte of a DL frame is taken without escape processing: a payload that starts
    // with a frame byte cannot be sent in DL form.
    if (mode == CPacketUnpacker::MODE_DL && FrameByteNeedsEscape(payload[0])) return;
    const uint8_t lead = mode == CPacketUnpacker::MODE_DL ? FRAME_FLAG : FRAME_NO_LEAD;
    std::vector<uint8_t> again;
    FUZZ_CHECK(DecodeWhole(PackPacket(payload, lead, FRAME_FLAG), mode, again) == length);
    FUZZ_CHECK(again == payload);
}

std::vector<Outcome> ByteByByte(const uint8_t* data, size_t size, int32_t mode, bool resetAfterBad) {
    CPacketUnpacker& decoder = Fresh(0, mode);
    std::vector<Outcome> outcomes;
    for (size_t i = 0; i < size; ++i) {
        const int32_t result = decoder.PutByte(data[i]);
        CheckDecoderBounds(decoder);
        FUZZ_CHECK(result != CPacketUnpacker::RESULT_BAD_STATE);
        if (result == 0) continue;
        Outcome outcome{i, result, {}};
        if (result > 0) {
            CheckAcceptedFrame(decoder, result, mode);
            outcome.payload = Payload(decoder, result);
        }
        outcomes.push_back(std::move(outcome));
        AfterResult(decoder, result, resetAfterBad);
    }
    return outcomes;
}

std::vector<Outcome> InRuns(const uint8_t* data, size_t size, int32_t mode, bool resetAfterBad) {
    CPacketUnpacker& decoder = Fresh(1, mode);
    std::vector<Outcome> outcomes;
    size_t position = 0;
    while (position < size) {
        size_t taken = 0;
        const int32_t result = decoder.PutBytes(data + position, size - position, taken);
        CheckDecoderBounds(decoder);
        FUZZ_CHECK(taken >= 1 && taken <= size - position);
        position += taken;
        if (result == 0) {
            FUZZ_CHECK(position == size);  // 0 only when every byte was taken
            break;
        }
        Outcome outcome{position - 1, result, {}};
        if (result > 0) outcome.payload = Payload(decoder, result);
        outcomes.push_back(std::move(outcome));
        AfterResult(decoder, result, resetAfterBad);
    }
    return outcomes;
}

void CheckRoundTrip(const uint8_t* data, size_t size, int32_t mode) {
    if (size == 0) return;  // an empty payload reads as "byte taken": no handset sends one
    if (mode == CPacketUnpacker::MODE_DL && FrameByteNeedsEscape(data[0])) return;
    const uint8_t lead = mode == CPacketUnpacker::MODE_DL ? FRAME_FLAG : FRAME_NO_LEAD;
    const std::vector<uint8_t> frame = PackPacket(std::span<const uint8_t>(data, size), lead, FRAME_FLAG);
    FUZZ_CHECK(frame.size() >= size + 3 && frame.size() <= PackedSizeMax(size));
    std::vector<uint8_t> payload;
    const int32_t result = DecodeWhole(frame, mode, payload);
    if (size + 2 >= 8192) {
        FUZZ_CHECK(result == CPacketUnpacker::RESULT_BAD_FRAME);
        return;
    }
    FUZZ_CHECK(result == static_cast<int32_t>(size));
    FUZZ_CHECK(std::memcmp(payload.data(), data, size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const int32_t mode : {static_cast<int32_t>(PHONE_MODE_DIAG), CPacketUnpacker::MODE_DL}) {
        for (const bool resetAfterBad : {true, false}) {
            FUZZ_CHECK(ByteByByte(data, size, mode, resetAfterBad) == InRuns(data, size, mode, resetAfterBad));
        }
        CheckRoundTrip(data, size, mode);
    }
    return 0;
}
