// SPDX-License-Identifier: Apache-2.0
#include "platform/sys_error.h"

#include <cstring>

namespace platform {

namespace {
// strerror_r comes in two flavours; overloads pick whichever this C library declares.
[[maybe_unused]] std::string FromResult(int rc, const char* buffer) { return rc == 0 ? std::string(buffer) : std::string(); }
[[maybe_unused]] std::string FromResult(const char* text, const char*) { return text ? std::string(text) : std::string(); }
}  // namespace

std::string SysErrorText(int errorNumber) {
    char buffer[256] = {};
    std::string text = FromResult(strerror_r(errorNumber, buffer, sizeof buffer), buffer);
    if (text.rfind("Unknown error", 0) == 0) return std::string();
    return text;
}

}  // namespace platform
