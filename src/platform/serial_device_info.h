// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// What the system knows of the hardware behind a serial device: a USB adapter or handset
// names its vendor and product, and often a serial number. Empty fields: not known (a built-in
// port, a pseudo-terminal).
struct SerialDeviceInfo {
    std::string vendorId;   // four hex digits, as the USB descriptor gives them ("0403")
    std::string productId;  // "6001"
    std::string serial;     // the device's serial number text
    std::string product;    // the product text ("FT232R USB UART")
};

// devicePath and port are a port map entry (value name and data). On Linux devicePath's tty is
// looked up under the tty class folder ($VEXLOR_SYSFS_ROOT if set, else /sys/class/tty), from
// its device up to the USB device that carries the descriptors. On Windows, where the map names
// a driver's device (\Device\Serial0), the Plug and Play device whose port name is port is
// asked through SetupAPI.
SerialDeviceInfo DescribeSerialDevice(const std::string& devicePath, const std::string& port = {});

}  // namespace platform
