// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/frame_bytes.h"

// Frame encoder: [lead] escaped payload, escaped CRC-16 (low byte first), trail.
// A lead of FRAME_NO_LEAD writes no opening byte; lead and trail are written unescaped.
// DIAG commands use (FRAME_NO_LEAD, FRAME_FLAG), DL commands (FRAME_FLAG, FRAME_FLAG).

// Worst case: every payload and CRC byte escaped, lead and trail present.
constexpr size_t PackedSizeMax(size_t payloadLength) { return 2 * payloadLength + 6; }

// Longest payload the 32-bit CRC bit count can cover.
constexpr size_t PACK_PAYLOAD_MAX = UINT32_MAX / 8;

// Writes the frame into out without allocating and returns its length; returns 0, writing
// nothing, when out is shorter than PackedSizeMax(payload.size()) or the payload is longer than
// PACK_PAYLOAD_MAX. A frame is never shorter than 3 bytes, so 0 always means failure.
size_t PackPacket(std::span<const uint8_t> payload, uint8_t lead, uint8_t trail, std::span<uint8_t> out);

// The frame in a new buffer sized to its length; empty on failure (payload too long).
std::vector<uint8_t> PackPacket(std::span<const uint8_t> payload, uint8_t lead, uint8_t trail);
