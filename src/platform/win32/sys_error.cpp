// SPDX-License-Identifier: Apache-2.0
#include "platform/sys_error.h"

#include <cerrno>
#include <cstring>

#include "platform/win32/wide_text.h"

namespace platform {

const int kErrorNotFound = ERROR_FILE_NOT_FOUND;
const int kErrorBusy = ERROR_BUSY;
const int kErrorTimedOut = ERROR_TIMEOUT;
const int kErrorNameTooLong = ERROR_FILENAME_EXCED_RANGE;
const int kErrorGone = ERROR_DEVICE_REMOVED;
const int kErrorNotOpen = ERROR_INVALID_HANDLE;
const int kErrorBadArgument = ERROR_INVALID_PARAMETER;

int SystemErrorOf(const std::error_code& code) {
    if (code.category() == std::system_category()) return code.value();
    // The generic category carries C runtime numbers, which mean other things as Windows errors.
    switch (code.value()) {
    case EAGAIN:
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY: return ERROR_BUSY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EPERM:
    case EACCES: return ERROR_ACCESS_DENIED;
    default: return ERROR_GEN_FAILURE;
    }
}

// The system's own words in the system's default language, as FormatMessage gives them: the
// line end that closes them stays, the log shows the text unchanged.
std::string SysErrorText(int errorNumber) {
    if (errorNumber < 0) return std::string();
    wchar_t buffer[1024];
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD code = static_cast<DWORD>(errorNumber);
    DWORD length = FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT), buffer,
                                  ARRAYSIZE(buffer), nullptr);
    // A system without messages in its own language still has the neutral ones.
    if (length == 0 && GetLastError() == ERROR_RESOURCE_LANG_NOT_FOUND) {
        length = FormatMessageW(flags, nullptr, code, 0, buffer, ARRAYSIZE(buffer), nullptr);
    }
    if (length == 0) return std::string();
    return win32::Narrow(std::wstring_view(buffer, length));
}

std::string SocketErrorPhrase(int errnoValue) {
    constexpr int kWinsockBase = 10000;  // WSABASEERR
    std::string text;
    if (errnoValue >= kWinsockBase) {
        text = SysErrorPhrase(errnoValue);
    } else if (errnoValue > 0) {
        text = std::strerror(errnoValue);
    }
    return text.empty() || text.rfind("Unknown error", 0) == 0 ? "error " + std::to_string(errnoValue) : text;
}

}  // namespace platform
