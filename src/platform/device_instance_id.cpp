// SPDX-License-Identifier: Apache-2.0
#include "platform/device_instance_id.h"

#include <cctype>
#include <string>
#include <utility>

namespace platform {

namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The four hex digits after tag ("VID_") in id, in lower case; empty when there are none.
std::string HexAfter(const std::string& upperId, const char* tag) {
    const size_t at = upperId.find(tag);
    if (at == std::string::npos) return {};
    const size_t start = at + std::char_traits<char>::length(tag);
    if (start + 4 > upperId.size()) return {};
    std::string hex = upperId.substr(start, 4);
    for (char& c : hex) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex;
}

// The serial number in a USB device's own ID: its third part, unless Windows made that up.
std::string SerialOf(std::string_view id) {
    const std::string upper = Upper(id);
    if (upper.rfind("USB\\VID_", 0) != 0 || upper.find("&MI_") != std::string::npos) return {};
    const size_t cut = id.find('\\', 4);
    if (cut == std::string_view::npos) return {};
    const std::string_view serial = id.substr(cut + 1);
    if (serial.empty() || serial.find_first_of("&\\") != std::string_view::npos) return {};
    return std::string(serial);
}

}  // namespace

UsbIdentity UsbIdentityOf(std::string_view instanceId, std::string_view parentId) {
    UsbIdentity identity;
    for (const std::string_view id : {instanceId, parentId}) {
        const std::string upper = Upper(id);
        std::string vendor = HexAfter(upper, "VID_");
        std::string product = HexAfter(upper, "PID_");
        if (identity.vendorId.empty() && !vendor.empty()) {
            identity.vendorId = std::move(vendor);
            identity.productId = std::move(product);
        }
        if (identity.serial.empty()) identity.serial = SerialOf(id);
    }
    return identity;
}

}  // namespace platform
