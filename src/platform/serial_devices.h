// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

namespace platform {

// The serial devices the system itself has, by name: on Linux the ttys under ttyClassDir (the
// tty class folder) that have a driver, as "ttyUSB0", leaving out a ttyS slot with no UART behind
// it. Windows keeps its own port map in the registry (HARDWARE\DEVICEMAP\SERIALCOMM), so nothing
// is listed there.
std::vector<std::string> ListSerialDevices(const std::string& ttyClassDir);

// What the serial line opens for a port of the port map: on Linux the value's device path, on
// Windows "\\.\" and the COM name.
std::string SerialOpenPath(const std::string& device, const std::string& port);

}  // namespace platform
