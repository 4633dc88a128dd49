// SPDX-License-Identifier: Apache-2.0
#include "platform/serial_port_use.h"

namespace platform {

SerialPortUse LookAtSerialPort(const std::string& devicePath, const std::string&) {
    SerialPortUse use;
    if (!MayReadAndWrite(devicePath)) {
        use.state = SerialPortUse::State::kNoAccess;
    } else if ((use.holder = FindLockHolder(devicePath))) {
        use.state = SerialPortUse::State::kHeld;
    }
    return use;
}

}  // namespace platform
