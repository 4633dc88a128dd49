// SPDX-License-Identifier: Apache-2.0
#include "app/cli/status_text.h"

#include <cstdio>

std::string StatusLineText(uint32_t statusCode, const TextLookup& text) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "[0x%03X]", static_cast<unsigned>(statusCode));
    const std::string body = StatusLineBody(statusCode, text);
    return body.empty() ? std::string(prefix) : std::string(prefix) + " " + body;
}
