// SPDX-License-Identifier: Apache-2.0
#include "platform/serial_device_info.h"

#include "platform/device_instance_id.h"
#include "platform/win32/port_device.h"

namespace platform {

namespace {

// Texts a device reports are its own bytes: kept to one line of printable characters, so
// they cannot break the port list's columns.
std::string Printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

// The port map names drivers' devices (\Device\Serial0), which carry no USB descriptors: the
// Plug and Play device behind the COM name does.
SerialDeviceInfo DescribeSerialDevice(const std::string&, const std::string& port) {
    SerialDeviceInfo info;
    const auto device = win32::FindPortDevice(port);
    if (!device) return info;
    const UsbIdentity usb = UsbIdentityOf(device->instanceId, device->parentId);
    info.vendorId = usb.vendorId;
    info.productId = usb.productId;
    info.serial = Printable(usb.serial);
    // The bus text of a USB device only: a built-in port's is the driver's name for it.
    if (!usb.vendorId.empty())
        info.product = Printable(device->product.empty() ? device->parentProduct : device->product);
    return info;
}

}  // namespace platform
