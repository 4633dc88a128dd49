// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/common/status_lines.h"
#include "app/runs/port_run.h"
#include "app/runs/station_port.h"

// How the headless views name what a station and a confirmation do, in the language library's
// words (text); the records' words (PhaseWord, ResultWord) stay as they are.

// "AT data mode", "diagnostic mode", "download mode"; "" for none.
std::string ModeName(EPhoneMode mode, const TextLookup& text);
// "Waiting up to 60 s for the handset to restart..."
std::string ConfirmingLine(double timeoutSeconds, const TextLookup& text);
// After the look for a done handset's restart: "Restart confirmed: the handset answers in AT data
// mode." (with its platform where it gave one), or the warning that it did not answer.
std::string ConfirmedLine(const PortRun& run, const TextLookup& text);
// The word records give a phase: waiting, flashing, confirming, remove, ended, refused.
const char* PhaseWord(StationPort::Phase phase);
// What a port's row and line say of its phase: "waiting for a handset", "remove the handset",
// "failed: remove the handset", "stopped: switch the handset off and on", ... (for flashing:
// "flashing").
std::string PhaseText(const StationPort& port, const TextLookup& text);
// "Bench: 9 handsets in 1:02:03: 7 done (1 restart not confirmed), 2 failed; 43.1 handsets per hour"
std::string BenchLine(const BenchTotals& totals, const TextLookup& text);
// A result as a technician reads it: "done", "failed", ... in the library's words.
std::string ResultText(PortRun::Result result, const TextLookup& text);
// Why a port was not run, in the library's words where it has them.
std::string ClaimWhy(const PortClaim& claim, const TextLookup& text);
// "refused: " and why.
std::string RefusedLine(const PortClaim& claim, const TextLookup& text);
// What a run says at once when a stop is asked (StoppingLine, from where its transfer stands).
std::string StoppingLineOf(const PortRun& run, const TextLookup& text);
// "handset 8: " and what.
std::string HandsetLine(uint32_t sequence, const std::string& what, const TextLookup& text);
// The compact view's short words, by their place in the library's list.
enum CellWordIndex : size_t {
    kCellWait,
    kCellLook,
    kCellRestart,
    kCellRemove,
    kCellStop,
    kCellEnd,
    kCellCommit,
    kCellLooking,
    kCellMore,
};
std::string CellWord(CellWordIndex index, const TextLookup& text);
