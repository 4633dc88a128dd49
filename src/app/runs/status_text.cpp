// SPDX-License-Identifier: Apache-2.0
#include "app/runs/status_text.h"

#include <cstdio>

namespace {

std::string WithCode(uint32_t statusCode, const std::string& body) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "[0x%03X]", static_cast<unsigned>(statusCode));
    return body.empty() ? std::string(prefix) : std::string(prefix) + " " + body;
}

}  // namespace

std::string StatusLineText(uint32_t statusCode, const TextLookup& text) {
    return WithCode(statusCode, StatusLineBody(statusCode, text));
}

std::string StatusLineText(uint32_t statusCode, const RunFailure& failure, const TextLookup& text) {
    return WithCode(statusCode, StatusLineBody(statusCode, failure, text));
}
