// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/common/status_lines.h"
#include "app/runs/station_port.h"

// The table that ends a station: per port its handsets and what they came to (done, of which
// the restart was not confirmed, failed, stopped), columns lined up; then the bench's line with
// the totals and the handsets per hour.
std::string StationSummary(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals,
                           const TextLookup& text);
