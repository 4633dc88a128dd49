// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/runs/port_run.h"

// How the headless front end shows what its runs do. The runner calls these on its own thread,
// in the order things happen; a view writes to the output stream and nothing else.
class RunView {
public:
    virtual ~RunView() = default;
    // The start-up package check's percentage.
    virtual void CheckProgress(unsigned percent) = 0;
    // The check is over; the runs begin.
    virtual void Begin(const std::vector<std::unique_ptr<PortRun>>& runs) = 0;
    // A port that was not run (named twice, held, not in the list).
    virtual void Refused(const PortRun& run) = 0;
    // A status code of a run; at a final one the run's result and failure are already set.
    virtual void Status(const PortRun& run, uint32_t code) = 0;
    virtual void Progress(const PortRun& run, unsigned percent) = 0;
    // A run waits for a port another program holds (line: who holds it), told once per holder.
    virtual void Waiting(const PortRun& run, const std::string& line) = 0;
    // A stop was asked and the run winds down: run.stopping says how long that takes (the block
    // being written goes through first). Told at once, before the runner waits for the run.
    virtual void Stopping(const PortRun&) {}
    // A run stopped by a signal.
    virtual void Stopped(const PortRun& run) = 0;
    // A run done: its handset is waited for to restart and answer again (--confirm, --station).
    virtual void Confirming(const PortRun&) {}
    // A handset's record is complete (after its confirmation, where one was asked): the outcome,
    // the confirmation, the mode and platform it answered with. Not for a refused port.
    virtual void Recorded(const PortRun&) {}
    // The handset's report row could not be written (after Recorded): error is the system's error
    // number or platform::kRecordNotAFile.
    virtual void RecordLost(const PortRun&, int /*error*/) {}
    // The handset's record could not be put into the record store: line says so, and why.
    virtual void StoreLost(const PortRun&, const std::string& /*line*/) {}
    // Time passes (about ten times a second): a live view may redraw.
    virtual void Tick() {}
    // Every run has ended.
    virtual void Finish(const std::vector<std::unique_ptr<PortRun>>& runs) = 0;
};
