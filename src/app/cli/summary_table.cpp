// SPDX-License-Identifier: Apache-2.0
#include "app/cli/summary_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

std::string FormatDuration(double seconds) {
    const long long total = seconds > 0 && std::isfinite(seconds) ? std::llround(seconds) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

std::string SummaryTable(const std::vector<std::unique_ptr<PortRun>>& runs) {
    size_t portWidth = 4;
    for (const auto& run : runs) portWidth = std::max(portWidth, run->Port().size());
    char line[512];
    std::snprintf(line, sizeof line, "%-*s  %-8s  %-6s  %8s  %12s\n", static_cast<int>(portWidth), "Port", "Result",
                  "Status", "Duration", "Average rate");
    std::string table = line;
    for (const auto& run : runs) {
        char status[16] = "-";
        if (run->lastStatus != 0) std::snprintf(status, sizeof status, "0x%03X", static_cast<unsigned>(run->lastStatus));
        const bool ran = run->result != PortRun::Result::kRefused;
        std::snprintf(line, sizeof line, "%-*s  %-8s  %-6s  %8s  %12s", static_cast<int>(portWidth), run->Port().c_str(),
                      ResultWord(run->result), status, ran ? FormatDuration(run->Seconds()).c_str() : "-",
                      ran ? FormatRate(run->AverageRate()).c_str() : "-");
        table += line;
        if (!ran) table += "  " + run->claim.Why();
        table += '\n';
    }
    return table;
}
