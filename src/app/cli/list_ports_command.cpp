// SPDX-License-Identifier: Apache-2.0
#include "app/cli/list_ports_command.h"

#include <string>

#include "app/cli/cli_arguments.h"
#include "platform/file_holder.h"
#include "platform/serial_device_info.h"
#include "serial/serial_port_list.h"

namespace {

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

// Whether this user could use the port, without opening it (an opening can reset a device).
std::string PortState(const std::string& device) {
    if (!platform::MayReadAndWrite(device)) return "no access";
    if (const auto holder = platform::FindLockHolder(device)) {
        return "in use by " + holder->name + " (PID " + std::to_string(holder->pid) + ")";
    }
    return "ok";
}

}  // namespace

int RunListPortsCommand(std::FILE* out) {
    for (const SerialCommValue& value : ReadSerialCommKey()) {
        if (IsExcludedSerialDevice(value.device)) continue;
        const auto port = NormalisePortName(value.port);
        if (!port) continue;
        const platform::SerialDeviceInfo info = platform::DescribeSerialDevice(value.device);
        const std::string usb = info.vendorId.empty() ? "-" : info.vendorId + ":" + OrDash(info.productId);
        std::fprintf(out, "%s\t%s\t%s\t%s\t%s\t%s\n", port->c_str(), value.device.c_str(), usb.c_str(),
                     OrDash(info.serial).c_str(), OrDash(info.product).c_str(), PortState(value.device).c_str());
    }
    std::fflush(out);
    return 0;
}
