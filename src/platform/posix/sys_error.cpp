// SPDX-License-Identifier: Apache-2.0
#include "platform/sys_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

const int kErrorNotFound = ENOENT;
const int kErrorBusy = EBUSY;
const int kErrorTimedOut = ETIMEDOUT;
const int kErrorNameTooLong = ENAMETOOLONG;
const int kErrorGone = EIO;
const int kErrorNotOpen = EBADF;
const int kErrorBadArgument = EINVAL;

namespace {
// strerror_r comes in two flavours; overloads pick whichever this C library declares.
[[maybe_unused]] std::string FromResult(int rc, const char* buffer) {
    return rc == 0 ? std::string(buffer) : std::string();
}
[[maybe_unused]] std::string FromResult(const char* text, const char*) {
    return text ? std::string(text) : std::string();
}
}  // namespace

// Both the generic and the system category carry errno values here.
int SystemErrorOf(const std::error_code& code) { return code.value(); }

std::string SysErrorText(int errorNumber) {
    char buffer[256] = {};
    std::string text = FromResult(strerror_r(errorNumber, buffer, sizeof buffer), buffer);
    if (text.rfind("Unknown error", 0) == 0) return std::string();
    return text;
}

std::string SocketErrorPhrase(int errnoValue) {
    const std::string text = SysErrorPhrase(errnoValue);
    return text.empty() ? "error " + std::to_string(errnoValue) : text;
}

}  // namespace platform
