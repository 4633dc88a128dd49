// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// Result codes of the package reader. Success is 1.
constexpr int32_t PKGERR_MARKER = static_cast<int32_t>(0xF0010201);       // parameter block marker wrong
constexpr int32_t PKGERR_PARAM_CRC = static_cast<int32_t>(0xF0010202);    // parameter block CRC wrong
constexpr int32_t PKGERR_PARAM_SHORT = static_cast<int32_t>(0xF0010203);  // file shorter than a parameter block
constexpr int32_t PKGERR_PARAM_READ = static_cast<int32_t>(0xF0010204);   // parameter block could not be read whole
constexpr int32_t PKGERR_CRC = static_cast<int32_t>(0xF0010302);          // load CRC wrong, or image self-check failed
constexpr int32_t PKGERR_LOAD_SIZE = static_cast<int32_t>(0xF0010303);  // load size 0, too large, or CRC across chunks
constexpr int32_t PKGERR_LOAD_FIT = static_cast<int32_t>(0xF0010304);   // file too short for the load area it names
constexpr int32_t PKGERR_LOAD_READ = static_cast<int32_t>(0xF0010305);  // load area or image could not be read whole
