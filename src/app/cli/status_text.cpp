#include "app/cli/status_text.h"

#include <cstdio>

#include "app/common/status_lines.h"

std::string StatusLineText(uint32_t statusCode, const TextLookup& text) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "[0x%03X]", static_cast<unsigned>(statusCode));
    const unsigned id = StatusLineFor(statusCode).stringId;
    const std::string body = id != 0 && text ? text(id) : std::string();
    return body.empty() ? std::string(prefix) : std::string(prefix) + " " + body;
}
