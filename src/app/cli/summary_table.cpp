// SPDX-License-Identifier: Apache-2.0
#include "app/cli/summary_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/cli/run_outcome.h"
#include "app/cli/transfer_estimate.h"

std::string FormatDuration(double seconds) {
    const long long total = seconds > 0 && std::isfinite(seconds) ? std::llround(seconds) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

std::string SummaryTable(const std::vector<std::unique_ptr<PortRun>>& runs, const TextLookup& text) {
    size_t portWidth = 4;
    for (const auto& run : runs) portWidth = std::max(portWidth, run->Port().size());
    char line[512];
    std::snprintf(line, sizeof line, "%-*s  %-8s  %-6s  %8s  %12s\n", static_cast<int>(portWidth), "Port", "Result",
                  "Status", "Duration", "Average rate");
    std::string table = line;
    std::string reasons;
    for (const auto& run : runs) {
        const RunOutcome outcome = OutcomeOf(*run, text);
        const std::string status = outcome.code ? StatusCodeText(*outcome.code) : "-";
        const bool ran = run->result != PortRun::Result::kRefused;
        std::snprintf(line, sizeof line, "%-*s  %-8s  %-6s  %8s  %12s\n", static_cast<int>(portWidth),
                      run->Port().c_str(), outcome.result, status.c_str(),
                      ran ? FormatDuration(run->Seconds()).c_str() : "-",
                      ran ? FormatRate(run->AverageRate()).c_str() : "-");
        table += line;
        const bool told = run->result == PortRun::Result::kFailed || run->result == PortRun::Result::kEmpty ||
                          run->result == PortRun::Result::kRefused;
        if (!told) continue;
        reasons += run->Port() + ": ";
        if (outcome.code && ran) reasons += "[" + status + "] ";
        reasons += outcome.Line() + "\n";
    }
    return reasons.empty() ? table : table + "\n" + reasons;
}
