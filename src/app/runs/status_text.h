// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

#include "app/common/status_lines.h"

// The line a status code prints: "[0x%03X] " and the text of its line (upper-case hex, at least
// three digits); a code without a text gets the prefix alone.
std::string StatusLineText(uint32_t statusCode, const TextLookup& text);
// The same, for a final status, with what the run knows of its failure (StatusLineBody).
std::string StatusLineText(uint32_t statusCode, const RunFailure& failure, const TextLookup& text);
