// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/cli/port_run.h"

// The table that ends a run on several ports: port, result, status code, duration and average
// rate, one row a port, columns lined up; a refused port's row says why.
std::string SummaryTable(const std::vector<std::unique_ptr<PortRun>>& runs);

// "1:05" for 65 seconds.
std::string FormatDuration(double seconds);
