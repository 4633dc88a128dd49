// SPDX-License-Identifier: Apache-2.0
#include "platform/serial_port_use.h"

#include <filesystem>

namespace platform {

SerialPortUse LookAtSerialPort(const std::string& devicePath, const std::string&) {
    SerialPortUse use;
    std::error_code error;
    (void)std::filesystem::status(devicePath, error);
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
        use.state = SerialPortUse::State::kMissing;
    } else if (!MayReadAndWrite(devicePath)) {
        use.state = SerialPortUse::State::kNoAccess;
    } else if ((use.holder = FindLockHolder(devicePath))) {
        use.state = SerialPortUse::State::kHeld;
    }
    return use;
}

}  // namespace platform
