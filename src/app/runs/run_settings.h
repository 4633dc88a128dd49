// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "app/common/status_lines.h"
#include "app/runs/message_queue.h"

class PortClaim;
class RunRecords;

// What a front end asks of its runs: which end counts as what, the confirmation of restarts,
// the station's times and budget. The command line fills it from its arguments, a window from
// its controls and settings.
struct RunSettings {
    // The ports came from the port list, not by name: a port where no handset answers is empty,
    // which fails nothing by itself.
    bool portsFromList = false;
    // One port was asked for by name: its refusal is the end of the whole, with its own reason.
    bool singlePort = false;
    // A done handset is waited for to restart and answer again before its record is written.
    bool confirm = false;
    // Handset after handset on every port until stopped (a station); else one handset a port.
    bool station = false;
    std::chrono::milliseconds confirmTimeout{std::chrono::seconds(60)};
    std::chrono::milliseconds goneAfter{std::chrono::seconds(3)};
    // A station ends once this many handsets are recorded.
    std::optional<int> maxHandsets;
    // How long a run may wait for its handset beyond the usual detection.
    int extraDetectionMs = 0;

    bool Confirms() const { return confirm || station; }
};

// What the runs need from whoever runs them: the queue every run's messages come through, the
// texts they build, and where a warning goes (nowhere when null: a window tells its own).
struct RunContext {
    MessageQueue& queue;
    TextLookup text;
    std::function<void(const std::string&)> warn;
    // Where each handset's record is stored (the record store); none when records are off.
    RunRecords* records = nullptr;
};

// How a set of runs (or a station) ended, in the runs' own terms; a front end makes of it what
// it tells (the command line its exit status).
struct RunsEnd {
    bool stopped = false;     // a stop came before every run had ended
    bool recordLost = false;  // a report row or a stored record could not be written
    // One port asked for, and refused: why is the claim's.
    const PortClaim* singleRefusal = nullptr;
    // A run ended otherwise than done (an empty port of the list aside), a port among several
    // was refused, or nothing was done anywhere.
    bool failed = false;
};
