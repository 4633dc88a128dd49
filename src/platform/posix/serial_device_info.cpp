// SPDX-License-Identifier: Apache-2.0
#include "platform/serial_device_info.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace platform {

namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    // Descriptor texts are the device's own bytes: keep them to one printable line.
    std::string clean;
    for (char c : line.substr(0, 128)) clean.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c);
    while (!clean.empty() && clean.back() == ' ') clean.pop_back();
    return clean;
}

fs::path TtyClassDir() {
    const char* root = std::getenv("VEXLOR_SYSFS_ROOT");
    return root && *root ? fs::path(root) : fs::path("/sys/class/tty");
}

}  // namespace

SerialDeviceInfo DescribeSerialDevice(const std::string& devicePath, const std::string&) {
    SerialDeviceInfo info;
    const std::string name = fs::path(devicePath).filename().string();
    if (name.empty() || name == "." || name == "..") return info;
    std::error_code error;
    fs::path dir = fs::canonical(TtyClassDir() / name / "device", error);
    // The interface of a USB serial device sits a level or two below the device itself.
    for (int depth = 0; !error && depth < 4 && dir.has_parent_path() && dir != dir.root_path(); ++depth) {
        if (fs::exists(dir / "idVendor", error)) {
            info.vendorId = FirstLine(dir / "idVendor");
            info.productId = FirstLine(dir / "idProduct");
            info.serial = FirstLine(dir / "serial");
            info.product = FirstLine(dir / "product");
            break;
        }
        dir = dir.parent_path();
    }
    return info;
}

}  // namespace platform
