// SPDX-License-Identifier: Apache-2.0
// The USB vendor and product IDs and the serial number that Windows device instance IDs carry, as
// the port list shows them. (A Wine COM port has no Plug and Play device, so only this shows it.)
#include "platform/device_instance_id.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

struct Expected {
    const char* vendor;
    const char* product;
    const char* serial;
};

void ExpectIdentity(const char* instanceId, const char* parentId, Expected expected) {
    SCOPED_TRACE(std::string(instanceId) + " / " + parentId);
    const UsbIdentity identity = UsbIdentityOf(instanceId, parentId);
    EXPECT_EQ(identity.vendorId, expected.vendor);
    EXPECT_EQ(identity.productId, expected.product);
    EXPECT_EQ(identity.serial, expected.serial);
}

TEST(DeviceInstanceId, UsbPortsNameTheirIdsAndSerialNumbers) {
    // A USB serial device of its own, with and without a serial number.
    ExpectIdentity("USB\\VID_1A86&PID_7523\\5&2BD1F2C3&0&2", "USB\\ROOT_HUB30\\4&1B1AF1D&0&0", {"1a86", "7523", ""});
    ExpectIdentity("USB\\VID_067B&PID_2303\\PL2303X0001", "USB\\ROOT_HUB30\\4&1B1AF1D&0&0",
                   {"067b", "2303", "PL2303X0001"});
    // One function of a composite handset: the serial number is the USB device's, its parent.
    ExpectIdentity("USB\\VID_05C6&PID_9018&MI_01\\6&3A0C1E1&0&0001", "USB\\VID_05C6&PID_9018\\F1A2B3C4",
                   {"05c6", "9018", "F1A2B3C4"});
    // A port its vendor's bus driver adds below the USB device.
    ExpectIdentity("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", "USB\\VID_0403&PID_6001\\A50285BI",
                   {"0403", "6001", "A50285BI"});
}

TEST(DeviceInstanceId, OtherPortsHaveNoUsbIdentity) {
    ExpectIdentity("ACPI\\PNP0501\\1", "ACPI\\PNP0A08\\0", {"", "", ""});
    ExpectIdentity("ROOT\\PORTS\\0000", "HTREE\\ROOT\\0", {"", "", ""});
    ExpectIdentity("", "", {"", "", ""});
    // Damaged IDs: digits that are not hex, an ID cut short.
    ExpectIdentity("USB\\VID_12G4&PID_0001\\X", "", {"", "", "X"});
    ExpectIdentity("USB\\VID_12", "", {"", "", ""});
}

}  // namespace
}  // namespace platform
