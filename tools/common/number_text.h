// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

// The whole of text as an unsigned number in base (0: a 0x prefix means hex, a leading 0
// octal) from min to max. No sign, no blanks, nothing after the digits: a command line value
// like "-1" or "12ms" is refused rather than read as something else.
bool ParseUnsigned(const std::string& text, int base, uint64_t min, uint64_t max, uint64_t& value);
