#pragma once
#include <string>

namespace platform {

// The fixed system error numbers the serial channel reports, kept with their Windows values
// so that log lines and callers read the same on every platform.
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorInvalidHandle = 6;        // port not open
constexpr int kErrorGenFailure = 31;
constexpr int kErrorAlreadyInitialized = 1247;  // port already open

// The system's message text for an error number (strerror_r); empty when there is none.
std::string SysErrorText(int errorNumber);

}  // namespace platform
