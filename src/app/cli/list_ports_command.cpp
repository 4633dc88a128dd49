// SPDX-License-Identifier: Apache-2.0
#include "app/cli/list_ports_command.h"

#include <string>

#include "app/cli/cli_arguments.h"
#include "app/cli/settings_report.h"
#include "app/common/exit_status.h"
#include "app/common/port_numbers.h"
#include "platform/file_holder.h"
#include "platform/serial_device_info.h"
#include "platform/serial_port_use.h"
#include "platform/sys_error.h"
#include "serial/serial_port_list.h"

namespace {

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

std::string InUseBy(const platform::Holder& holder) {
    return "in use by " + holder.name + " (PID " + std::to_string(holder.pid) + ")";
}

// Whether this user could use the port now.
std::string PortState(const std::string& port, const std::string& device) {
    const platform::SerialPortUse use = platform::LookAtSerialPort(device, port);
    switch (use.state) {
    case platform::SerialPortUse::State::kFree: return "ok";
    case platform::SerialPortUse::State::kMissing: return "missing";
    case platform::SerialPortUse::State::kNoAccess: return "no access";
    case platform::SerialPortUse::State::kHeld: return use.holder ? InUseBy(*use.holder) : "in use by another program";
    case platform::SerialPortUse::State::kFailed: break;
    }
    return "cannot be opened: " + platform::SysErrorPhrase(use.error);
}

}  // namespace

int RunListPortsCommand(std::FILE* out, std::FILE* err) {
    if (const int status = ReportSettingsFile(err); status != kExitDone) return status;
    for (const SerialCommValue& value : ReadSerialCommKey()) {
        if (IsExcludedSerialDevice(value.device)) continue;
        const auto port = NormalisePortName(value.port);
        if (!port) continue;
        const platform::SerialDeviceInfo info = platform::DescribeSerialDevice(value.device, *port);
        const std::string usb = info.vendorId.empty() ? "-" : info.vendorId + ":" + OrDash(info.productId);
        std::fprintf(out, "%s\t%s\t%s\t%s\t%s\t%s\n", port->c_str(), value.device.c_str(), usb.c_str(),
                     OrDash(info.serial).c_str(), OrDash(info.product).c_str(), PortState(*port, value.device).c_str());
    }
    std::fflush(out);
    return kExitDone;
}
