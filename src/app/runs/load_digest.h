// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

// The SHA-256 (64 hex digits) of the firmware load carried by the program file at path, as
// deciphered: the same as the load file's own sha256sum. "" when it cannot be read whole.
std::string LoadSha256(const std::string& path, uint32_t loadSize);
