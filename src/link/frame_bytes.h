// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// The two special byte values of a frame on the line.
constexpr uint8_t FRAME_FLAG = 0x7E;    // opening (DL only) and closing flag, never escaped
constexpr uint8_t FRAME_ESCAPE = 0x7D;  // followed by the escaped byte XOR FRAME_ESCAPE_XOR
constexpr uint8_t FRAME_ESCAPE_XOR = 0x20;
constexpr uint8_t FRAME_NO_LEAD = 0;  // PackPacket lead byte meaning "no opening byte"

constexpr bool FrameByteNeedsEscape(uint8_t byte) { return byte == FRAME_FLAG || byte == FRAME_ESCAPE; }
