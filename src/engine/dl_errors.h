// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// Result codes of the download commands. Codes of the transaction layer pass through unchanged.
constexpr int32_t DL_OK = 1;
constexpr int32_t DLERR_RESPONSE = static_cast<int32_t>(0xF0010101);  // response code or status wrong
constexpr int32_t DLERR_VERSION = static_cast<int32_t>(0xF0010102);   // handset version differs
constexpr int32_t DLERR_STREAM = static_cast<int32_t>(0xF0010103);    // unasked frame while streaming
constexpr int32_t DLERR_BLOCK = static_cast<int32_t>(0xF0010104);     // block check not acknowledged
constexpr int32_t DLERR_ACC = static_cast<int32_t>(0xF0010105);       // start refused with 0x1002

// The status the handset answers a refused start of download with.
constexpr uint16_t DL_STATUS_ACC_REFUSED = 0x1002;

// A block handed to WriteBlockPacket that does not start on a packet boundary (never from the
// download sequence, whose blocks start at 0x200 + k * 0x20000).
constexpr int32_t DLERR_BLOCK_START = static_cast<int32_t>(0xF0010106);
