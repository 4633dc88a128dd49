// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/common/status_lines.h"
#include "app/runs/port_run.h"

// The table that ends a run on several ports: port, result, status code, duration and average
// rate, one row a port, columns lined up; then, under it, the reason of every port that failed,
// was empty or was refused, in full, one line each ("COM22: [0xF64] text reason").
std::string SummaryTable(const std::vector<std::unique_ptr<PortRun>>& runs, const TextLookup& text);

// "1:05" for 65 seconds.
std::string FormatDuration(double seconds);
