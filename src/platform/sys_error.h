// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// The fixed system error numbers the serial channel reports, kept with their Windows values
// so that log lines and callers read the same on every platform.
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorInvalidHandle = 6;        // port not open
constexpr int kErrorGenFailure = 31;
constexpr int kErrorAlreadyInitialized = 1247;  // port already open

// The system's message text for an error number (strerror_r; FormatMessage on Windows, with
// the line end it closes with); empty when there is none.
std::string SysErrorText(int errorNumber);

// The same words for use inside a sentence: without the line end and the full stop that close the
// Windows texts (the Linux texts have neither).
inline std::string SysErrorPhrase(int errorNumber) {
    std::string text = SysErrorText(errorNumber);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace platform
