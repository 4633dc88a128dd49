// SPDX-License-Identifier: Apache-2.0
#include "platform/serial_devices.h"

namespace platform {

// Windows keeps the port map itself (HARDWARE\DEVICEMAP\SERIALCOMM): there is nothing to add.
std::vector<std::string> ListSerialDevices(const std::string&) { return {}; }

// Opened by its COM name in the device namespace, which also reaches COM10 and above.
std::string SerialOpenPath(const std::string&, const std::string& port) {
    if (port.rfind("\\\\.\\", 0) == 0) return port;
    return "\\\\.\\" + port;
}

}  // namespace platform
