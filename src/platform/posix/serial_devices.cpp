// SPDX-License-Identifier: Apache-2.0
#include "platform/serial_devices.h"

#include <cctype>
#include <filesystem>
#include <fstream>

namespace platform {

namespace {

// A ttyS line with no UART behind it reports type 0 (the 8250 driver registers every slot).
bool HasNoUart(const std::filesystem::path& ttyDir) {
    std::ifstream type(ttyDir / "type");
    int value = -1;
    if (!(type >> value)) return false;
    return value == 0;
}

// "ttyS" followed by digits only.
bool IsUartSlot(const std::string& name) {
    if (name.rfind("ttyS", 0) != 0 || name.size() == 4) return false;
    for (size_t i = 4; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> ListSerialDevices(const std::string& ttyClassDir) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(ttyClassDir, error);
    if (error) return names;
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        std::error_code linkError;
        if (!std::filesystem::exists(entry.path() / "device" / "driver", linkError)) continue;
        if (IsUartSlot(name) && HasNoUart(entry.path())) continue;
        names.push_back(name);
    }
    return names;
}

std::string SerialOpenPath(const std::string& device, const std::string&) { return device; }

}  // namespace platform
