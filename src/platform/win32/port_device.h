// SPDX-License-Identifier: Apache-2.0
#pragma once
// The Plug and Play device behind a COM port, as SetupAPI shows it.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace platform::win32 {

struct PortDevice {
    std::string instanceId;      // "USB\VID_0403&PID_6001\A50285BI"
    std::string parentId;        // the parent device's instance ID; empty when it has none
    std::string product;         // the text the device reports on its bus (the USB product string)
    std::string parentProduct;   // the same of the parent
    std::vector<BYTE> security;  // the device's (else its class's) security descriptor; empty: none set
};

// The present device of the Ports or Modem class whose "PortName" (or a modem's "AttachedTo")
// is port (compared without regard to case). Nothing when no such device is known: a port that
// no Plug and Play device stands behind, as a Wine COM port.
std::optional<PortDevice> FindPortDevice(const std::string& port);

// True when the security descriptor lets this process's user open the device for reading and
// writing. A descriptor without owner or group is checked as if the user owned it.
bool SecurityLetsUserOpen(const std::vector<BYTE>& descriptor);

}  // namespace platform::win32
