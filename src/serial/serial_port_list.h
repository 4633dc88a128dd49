// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The system's serial port list: the key HARDWARE\DEVICEMAP\SERIALCOMM, synthesised on every
// read from two sources.
//
// 1. The settings file's entries of that key, in file order. They come first and win: a value
//    name is a device path, its data the port name ("/dev/pts/7"="COM7"). A port name given to
//    a second device names only the first; the second is left out.
// 2. The tty devices under /sys/class/tty that have a driver (a device/driver link), named
//    /dev/<tty>. A ttyS device whose "type" reads 0 (no UART behind it) is left out. Numbering
//    rule, stable while other devices come and go:
//       ttyS<n>   -> COM(1 + n)      n < 20: COM1  .. COM20
//       ttyUSB<n> -> COM(21 + n)     n < 20: COM21 .. COM40
//       ttyACM<n> -> COM(41 + n)     n < 20: COM41 .. COM60
//       rfcomm<n> -> COM(61 + n)     n < 20: COM61 .. COM80
//       ircomm<n> -> COM(81 + n)     n < 20: COM81 .. COM100
//    Any other device (another kind, or an index of 20 or more), and a device whose number a
//    file entry already holds, takes the lowest free number from COM101 up, in order of kind
//    name then index. A device that a file entry names is listed once, under the file's name.
//    The system devices follow the file entries in ascending port number.
//
// Bluetooth (rfcomm*, or names containing \device\bt, \device\bluetooth) and infrared
// (ircomm*, \device\ir) devices stay in the key but are left out of ReadSerialCommList.

struct SerialCommValue {
    std::string device;  // value name: the device path
    std::string port;    // value data: the port name, COMn
};

// Where the key's sources are; an empty field means the default.
struct SerialCommSources {
    std::string settingsFile;  // default: platform::Registry::SettingsPath()
    std::string ttyClassDir;   // default: $VEXLOR_SYSFS_ROOT if set, else /sys/class/tty
    std::string devDir;        // default: /dev
};

// The key's values, read afresh on every call.
std::vector<SerialCommValue> ReadSerialCommKey(const SerialCommSources& sources = {});

// The numbering rule alone: the key's values for file entries plus tty names (such as
// "ttyUSB0"), with device paths devDir + "/" + name. Pure.
std::vector<SerialCommValue> SynthesiseSerialCommKey(const std::vector<SerialCommValue>& fileEntries,
                                                     const std::vector<std::string>& ttyNames,
                                                     const std::string& devDir = "/dev");

// True when a value of the key is a Bluetooth or infrared port.
bool IsExcludedSerialDevice(const std::string& valueName);

// The window's list of usable ports. It owns the text it returns until it is destroyed.
class CSerialCommList {
public:
    // The port names joined with ";" in key order, Bluetooth and infrared left out; "" when none.
    const char* ReadSerialCommList();
    const char* ReadSerialCommList(const SerialCommSources& sources);

private:
    std::string m_text;
};

// The number after the first M or m of a name, read as a decimal integer (leading blanks and sign
// allowed; no digits give 0): COM3 -> 3, \\.\COM12 -> 12, com4 -> 4. A name without an M has
// no port number: -1, which matches no device.
int32_t PortNumberOf(const char* name);

// 1 when some value of the key names a port with the device's port number (Bluetooth and
// infrared included), else 0. A device without a port number is never present.
int32_t IsPortPresent(const char* device, const SerialCommSources& sources = {});

// What the serial line opens for a channel device name such as COM7 or \\.\COM12, found by port
// number (platform::SerialOpenPath: the device path on Linux); empty when the port is not in the key.
std::string DevicePathOf(const char* device, const SerialCommSources& sources = {});

// The port numbers of ReadSerialCommList in ascending order, as the window's port combo lists them.
std::vector<uint32_t> EnumerateSerialPorts(const SerialCommSources& sources = {});
