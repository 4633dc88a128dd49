// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>

namespace diaglog {

// Writes each byte as "%02X " (two upper-case digits and a space) into out, as many bytes as fit
// with a terminator; returns the number of characters written (without the terminator).
size_t HexDump(const void* bytes, size_t count, char* out, size_t outSize);

}  // namespace diaglog
