// SPDX-License-Identifier: Apache-2.0
#include "app/cli/station_summary.h"

#include <algorithm>
#include <cstdio>

#include "app/cli/station_text.h"

std::string StationSummary(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals) {
    int width = 4;
    for (const auto& port : ports) width = std::max(width, static_cast<int>(port->Port().size()));
    char line[256];
    std::snprintf(line, sizeof line, "%-*s  %8s  %4s  %13s  %6s  %7s\n", width, "Port", "Handsets", "Done",
                  "Not confirmed", "Failed", "Stopped");
    std::string table = line;
    for (const auto& port : ports) {
        if (port->phase == StationPort::Phase::kRefused) {
            table += port->Port() + std::string(static_cast<size_t>(width) - port->Port().size(), ' ') +
                     "  refused: " + port->claim.Why() + "\n";
            continue;
        }
        std::snprintf(line, sizeof line, "%-*s  %8u  %4u  %13u  %6u  %7u\n", width, port->Port().c_str(),
                      port->handsets, port->done, port->unconfirmed, port->failed, port->stopped);
        table += line;
    }
    return table + "\nBench: " + BenchLine(totals) + "\n";
}
