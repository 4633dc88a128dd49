// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/serial_device_info.h"
#include "serial/serial_port_list.h"

namespace fs = std::filesystem;

namespace {

// A scratch directory with a settings file and a stand-in for /sys/class/tty.
class PortListTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vexlor-portlist-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        fs::create_directory(m_dir + "/tty");
        m_sources.settingsFile = m_dir + "/registry.reg";
        m_sources.ttyClassDir = m_dir + "/tty";
        m_sources.devDir = "/dev";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // A tty with a driver link (a real port) or without (a virtual console).
    void AddTty(const std::string& name, bool driver = true, const char* type = nullptr) {
        fs::path dir = fs::path(m_dir) / "tty" / name;
        fs::create_directories(driver ? dir / "device" / "driver" : dir);
        if (type) std::ofstream(dir / "type") << type << "\n";
    }
    void WriteSettings(const std::string& serialCommLines) {
        std::ofstream(m_sources.settingsFile)
            << "Windows Registry Editor Version 5.00\r\n\r\n"
            << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n\"Level\"=dword:00000005\r\n\r\n"
            << "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
            << serialCommLines;
    }
    std::string List() {
        CSerialCommList list;
        return list.ReadSerialCommList(m_sources);
    }

    std::string m_dir;
    SerialCommSources m_sources;
};

TEST_F(PortListTest, FileEntriesInFileOrderWithBluetoothAndInfraredLeftOut) {
    WriteSettings(
        "\"\\\\Device\\\\Serial0\"=\"COM1\"\r\n"
        "\"\\\\Device\\\\BthModem0\"=\"COM5\"\r\n"
        "\"\\\\Device\\\\Serial1\"=\"COM2\"\r\n"
        "\"\\\\DEVICE\\\\IRCOMM0\"=\"COM6\"\r\n"
        "\"/dev/rfcomm3\"=\"COM9\"\r\n");
    EXPECT_EQ(List(), "COM1;COM2");
    // Left out of the list, but present for opening.
    EXPECT_EQ(IsPortPresent("COM5", m_sources), 1);
    EXPECT_EQ(IsPortPresent("COM9", m_sources), 1);
    EXPECT_EQ(IsPortPresent("COM3", m_sources), 0);
    EXPECT_EQ(DevicePathOf("\\\\.\\COM2", m_sources), "\\Device\\Serial1");
}

TEST_F(PortListTest, NoSettingsAndNoDevicesGiveTheEmptyList) {
    EXPECT_EQ(List(), "");
    WriteSettings("");
    EXPECT_EQ(List(), "");
    EXPECT_TRUE(EnumerateSerialPorts(m_sources).empty());
    EXPECT_EQ(IsPortPresent("COM1", m_sources), 0);
}

TEST_F(PortListTest, SystemDevicesNumberedByKindAndIndex) {
    AddTty("ttyS0", true, "4");
    AddTty("ttyS1", true, "0");  // an 8250 slot with no UART behind it
    AddTty("ttyUSB0");
    AddTty("ttyUSB3");
    AddTty("ttyACM1");
    AddTty("rfcomm0");
    AddTty("tty5", false);  // a virtual console: no driver link
    std::vector<SerialCommValue> key = ReadSerialCommKey(m_sources);
    ASSERT_EQ(key.size(), 5u);
    EXPECT_EQ(key[0].device, "/dev/ttyS0");
    EXPECT_EQ(key[0].port, "COM1");
    EXPECT_EQ(key[1].device, "/dev/ttyUSB0");
    EXPECT_EQ(key[1].port, "COM21");
    EXPECT_EQ(key[2].port, "COM24");
    EXPECT_EQ(key[3].device, "/dev/ttyACM1");
    EXPECT_EQ(key[3].port, "COM42");
    EXPECT_EQ(key[4].device, "/dev/rfcomm0");
    EXPECT_EQ(key[4].port, "COM61");
    EXPECT_EQ(List(), "COM1;COM21;COM24;COM42");
    EXPECT_EQ(EnumerateSerialPorts(m_sources), (std::vector<uint32_t>{1, 21, 24, 42}));
    EXPECT_EQ(DevicePathOf("COM24", m_sources), "/dev/ttyUSB3");
}

TEST_F(PortListTest, NumbersStayWhenOtherDevicesComeAndGo) {
    AddTty("ttyUSB1");
    std::string before = DevicePathOf("COM22", m_sources);
    AddTty("ttyUSB0");
    AddTty("ttyS2", true, "4");
    EXPECT_EQ(before, "/dev/ttyUSB1");
    EXPECT_EQ(DevicePathOf("COM22", m_sources), "/dev/ttyUSB1");
    EXPECT_EQ(DevicePathOf("COM21", m_sources), "/dev/ttyUSB0");
}

TEST_F(PortListTest, FileEntriesWinAndPinTheirNumbers) {
    AddTty("ttyUSB0");
    AddTty("ttyUSB1");
    AddTty("ttyACM0");
    // ttyUSB1 is pinned to COM3; a pseudo-terminal takes COM21, the number ttyUSB0 would get.
    WriteSettings("\"/dev/ttyUSB1\"=\"COM3\"\r\n\"/dev/pts/7\"=\"COM21\"\r\n");
    std::vector<SerialCommValue> key = ReadSerialCommKey(m_sources);
    ASSERT_EQ(key.size(), 4u);
    EXPECT_EQ(key[0].device, "/dev/ttyUSB1");
    EXPECT_EQ(key[0].port, "COM3");
    EXPECT_EQ(key[1].device, "/dev/pts/7");
    EXPECT_EQ(key[1].port, "COM21");
    EXPECT_EQ(key[2].device, "/dev/ttyACM0");
    EXPECT_EQ(key[2].port, "COM41");
    EXPECT_EQ(key[3].device, "/dev/ttyUSB0");
    EXPECT_EQ(key[3].port, "COM101");
    EXPECT_EQ(DevicePathOf("COM21", m_sources), "/dev/pts/7");
    EXPECT_EQ(List(), "COM3;COM21;COM41;COM101");
}

TEST(SynthesiseSerialCommKey, UnruledKindsAndHighIndicesTakeFreeNumbersFrom101) {
    std::vector<SerialCommValue> file = {{"/dev/pts/3", "COM101"}};
    std::vector<SerialCommValue> key =
        SynthesiseSerialCommKey(file, {"ttyAMA0", "ttyUSB25", "ttyS19", "ttyXR", "ttyAMA0"}, "/dev");
    ASSERT_EQ(key.size(), 5u);
    EXPECT_EQ(key[1].device, "/dev/ttyS19");
    EXPECT_EQ(key[1].port, "COM20");
    // Order of kind name, then index: ttyAMA0, ttyUSB25, ttyXR.
    EXPECT_EQ(key[2].device, "/dev/ttyAMA0");
    EXPECT_EQ(key[2].port, "COM102");
    EXPECT_EQ(key[3].device, "/dev/ttyUSB25");
    EXPECT_EQ(key[3].port, "COM103");
    EXPECT_EQ(key[4].device, "/dev/ttyXR");
    EXPECT_EQ(key[4].port, "COM104");
}

TEST(IsExcludedSerialDevice, BluetoothAndInfraredByWindowsOrLinuxName) {
    EXPECT_TRUE(IsExcludedSerialDevice("\\Device\\BtModem0"));
    EXPECT_TRUE(IsExcludedSerialDevice("\\device\\bluetooth7"));
    EXPECT_TRUE(IsExcludedSerialDevice("\\DEVICE\\IRCOMM0"));
    EXPECT_TRUE(IsExcludedSerialDevice("/dev/rfcomm0"));
    EXPECT_TRUE(IsExcludedSerialDevice("/dev/ircomm1"));
    EXPECT_FALSE(IsExcludedSerialDevice("\\Device\\Serial0"));
    EXPECT_FALSE(IsExcludedSerialDevice("/dev/ttyUSB0"));
    EXPECT_FALSE(IsExcludedSerialDevice("/dev/pts/7"));
}

TEST(PortNumberOf, NumberAfterTheFirstM) {
    EXPECT_EQ(PortNumberOf("COM3"), 3);
    EXPECT_EQ(PortNumberOf("\\\\.\\COM12"), 12);
    EXPECT_EQ(PortNumberOf("com4"), 4);
    EXPECT_EQ(PortNumberOf("COM 7x"), 7);
    EXPECT_EQ(PortNumberOf("COM-2"), -2);
    EXPECT_EQ(PortNumberOf("COM"), 0);
    EXPECT_EQ(PortNumberOf("COMx5"), 0);
    EXPECT_EQ(PortNumberOf("MODEM9"), 0);  // the first M counts: "ODEM9" has no leading digits
    EXPECT_EQ(PortNumberOf("COM99999999999"), 2147483647);
}

TEST(PortNumberOf, NameWithoutMMatchesNoDevice) {
    EXPECT_EQ(PortNumberOf("/dev/ttyUSB0"), -1);
    EXPECT_EQ(PortNumberOf(""), -1);
    EXPECT_EQ(PortNumberOf(nullptr), -1);
    SerialCommSources sources;
    sources.settingsFile = "/nonexistent/registry.reg";
    sources.ttyClassDir = "/nonexistent";
    EXPECT_EQ(IsPortPresent("/dev/ttyUSB0", sources), 0);
}

}  // namespace

namespace {

TEST_F(PortListTest, UsbDevicesTellVendorProductSerialAndProductText) {
    // /sys/class/tty/ttyUSB0/device leads to the adapter's port, two levels below the USB device.
    const fs::path usb = fs::path(m_dir) / "devices" / "usb1" / "1-1";
    fs::create_directories(usb / "1-1:1.0" / "ttyUSB0");
    std::ofstream(usb / "idVendor") << "0403\n";
    std::ofstream(usb / "idProduct") << "6001\n";
    std::ofstream(usb / "serial") << "A12\x01Z\n";  // a device's own bytes: kept to one printable line
    std::ofstream(usb / "product") << "FT232R USB UART\n";
    fs::create_directories(fs::path(m_dir) / "tty" / "ttyUSB0");
    fs::create_directory_symlink(usb / "1-1:1.0" / "ttyUSB0", fs::path(m_dir) / "tty" / "ttyUSB0" / "device");
    AddTty("ttyS0");
    setenv("VEXLOR_SYSFS_ROOT", (m_dir + "/tty").c_str(), 1);

    const platform::SerialDeviceInfo adapter = platform::DescribeSerialDevice("/dev/ttyUSB0");
    EXPECT_EQ(adapter.vendorId, "0403");
    EXPECT_EQ(adapter.productId, "6001");
    EXPECT_EQ(adapter.serial, "A12?Z");
    EXPECT_EQ(adapter.product, "FT232R USB UART");
    const platform::SerialDeviceInfo builtIn = platform::DescribeSerialDevice("/dev/ttyS0");
    EXPECT_EQ(builtIn.vendorId + builtIn.product, "");
    EXPECT_EQ(platform::DescribeSerialDevice("/dev/pts/3").vendorId, "");
    EXPECT_EQ(platform::DescribeSerialDevice("/dev/..").vendorId, "");
    unsetenv("VEXLOR_SYSFS_ROOT");
}

}  // namespace
