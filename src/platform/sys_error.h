// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <system_error>

namespace platform {

// The fixed system error numbers the serial channel reports, kept with their Windows values
// so that log lines and callers read the same on every platform.
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorInvalidHandle = 6;  // port not open
constexpr int kErrorGenFailure = 31;
constexpr int kErrorAlreadyInitialized = 1247;  // port already open

// The few errors the layers above must name themselves, in this system's own numbering (errno
// values on Linux, Windows error codes on Windows), so that every text shown for them is the
// text of that very error. Defined with each system's error texts.
extern const int kErrorNotFound;     // no such device
extern const int kErrorBusy;         // in use, or still ending
extern const int kErrorTimedOut;     // nothing came in time
extern const int kErrorNameTooLong;  // a device name that does not fit
extern const int kErrorGone;         // the device went away while open
extern const int kErrorNotOpen;      // an operation on a line that is not open
extern const int kErrorBadArgument;  // a value the call cannot take

// An error the C++ library reports (a thread that could not be started, say) in this system's
// own numbering, so that SysErrorText tells the right words.
int SystemErrorOf(const std::error_code& code);

// The system's message text for an error number (strerror_r; FormatMessage on Windows, with
// the line end it closes with); empty when there is none.
std::string SysErrorText(int errorNumber);

// The words, for use inside a sentence, for an error number a network library left in errno: a C
// library number on Linux; on Windows Winsock's codes (WSAGetLastError, 10000 and above), which
// are the system's own, else a C runtime number. "error N" when the system has no words for it.
std::string SocketErrorPhrase(int errnoValue);

// The same words for use inside a sentence: without the line end and the full stop that close the
// Windows texts (the Linux texts have neither).
inline std::string SysErrorPhrase(int errorNumber) {
    std::string text = SysErrorText(errorNumber);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace platform
