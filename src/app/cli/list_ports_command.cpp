#include "app/cli/list_ports_command.h"

#include "serial/serial_port_list.h"

int RunListPortsCommand(std::FILE* out) {
    for (const SerialCommValue& value : ReadSerialCommKey()) {
        if (IsExcludedSerialDevice(value.device)) continue;
        std::fprintf(out, "%s\t%s\n", value.port.c_str(), value.device.c_str());
    }
    std::fflush(out);
    return 0;
}
