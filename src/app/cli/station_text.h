// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/cli/port_run.h"
#include "app/cli/station_port.h"

// How the headless views name what a station and a confirmation do.

// "AT data mode", "diagnostic mode", "download mode"; "" for none.
std::string ModeName(EPhoneMode mode);
// "Waiting up to 60 s for the handset to restart..."
std::string ConfirmingLine(double timeoutSeconds);
// After the look for a done handset's restart: "Restart confirmed: the handset answers in AT data
// mode." (with its platform where it gave one), or the warning that it did not answer.
std::string ConfirmedLine(const PortRun& run);
// The word records give a phase: waiting, flashing, confirming, remove, ended, refused.
const char* PhaseWord(StationPort::Phase phase);
// What a port's row and line say of its phase: "waiting for a handset", "remove the handset",
// "failed: remove the handset", "stopped: switch the handset off and on", ... (for flashing:
// "flashing").
std::string PhaseText(const StationPort& port);
// "9 handsets in 1:02:03: 7 done (1 restart not confirmed), 2 failed; 43.1 handsets per hour"
std::string BenchLine(const BenchTotals& totals);
