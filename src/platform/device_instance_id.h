// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <string_view>

namespace platform {

// What Windows device instance IDs tell of the USB device behind a port, in the form the port
// list shows (lower-case hex IDs, as Linux gives them).
struct UsbIdentity {
    std::string vendorId;   // "0403"; empty when the IDs name no USB vendor
    std::string productId;  // "6001"
    std::string serial;     // the device's serial number; empty when it reports none
};

// From the port device's instance ID and its parent's (either may be empty). A USB device is
// "USB\VID_0403&PID_6001\<serial>"; one without a serial number gets an ID that Windows makes
// up, which holds '&' ("5&2bd1f2c3&0&2"). A port that is one function of a composite device
// ("USB\VID_05C6&PID_9018&MI_01\...") or that a vendor's bus driver adds
// ("FTDIBUS\VID_0403+PID_6001+A50285BIA\0000") finds the serial number in its parent, the USB
// device itself. The IDs are taken from the port device, else from the parent.
UsbIdentity UsbIdentityOf(std::string_view instanceId, std::string_view parentId);

}  // namespace platform
