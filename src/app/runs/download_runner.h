// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/runs/port_claim.h"
#include "app/runs/port_worker.h"
#include "app/runs/run_report.h"
#include "app/runs/run_settings.h"
#include "app/runs/run_view.h"

// Makes the worker of a claimed port's run (which posts to run.target).
using WorkerMaker = std::function<std::unique_ptr<PortWorker>(PortRun& run)>;

// Runs a download on every claimed port at once, each with a worker of its own (its own
// operator, listener, reading of the program file and stream of messages), so one port's
// failure, stop or vanished handset never touches another. Hands every event to the view and
// every run's end to the report (when there is one) and to the log; a stop message in the
// context's queue stops every run as the Stop button does. Returns how the runs ended: stopped,
// a report row lost, one port asked for and refused, or whether any failed (with ports from the
// list, a port where nothing answered fails nothing, but nothing done anywhere does).
RunsEnd RunPorts(const RunSettings& settings, RunContext& context,
                 const std::vector<std::unique_ptr<PortClaim>>& claims, RunView& view, const RunReport* report,
                 uint64_t loadSize, const std::string& loadVersion, const WorkerMaker& make);
