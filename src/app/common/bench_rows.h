// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/common/bench_window_view.h"
#include "app/common/status_lines.h"
#include "app/runs/station_port.h"

// What a bench window's row and totals line say, in the language library's words.

// The row of a station's port as it stands; earlier counts the handsets the port saw before this
// station (earlier Starts of the window).
BenchWindowView::Row BenchRowOf(const StationPort& port, const BenchTotals& earlier, const TextLookup& text);

// The last result of a handset that has ended, as its row tells it: one line, and in full (the
// reason on the line under the status line).
void DescribeResult(const PortRun& run, const TextLookup& text, std::string& line, std::string& detail);

// Why a port was not run: held by another run (naming it), gone from the port list, or its guard
// could not be made.
std::string RefusalText(const PortClaim& claim, const TextLookup& text);

// "held by vexlor, PID 1234": a port another program holds, before any Start.
std::string HolderText(const std::string& holder, const TextLookup& text);

// "Done: 7   Failed: 2   Handsets per hour: 43.1" (the stopped handsets counted as failed)
std::string BenchTotalsLine(const BenchTotals& totals, const TextLookup& text);

// "0:42"; "" for a negative (unknown) span.
std::string FormatTimeLeft(double seconds);
