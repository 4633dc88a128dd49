// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/cli/cli_session.h"
#include "app/cli/port_worker.h"
#include "app/cli/run_report.h"
#include "app/cli/run_view.h"
#include "app/cli/station_port.h"
#include "package/dl_parameter.h"

// Runs a download on every claimed port at once, each with an operator of its own (its own
// worker, listener, reading of the program file and stream of messages), so one port's
// failure, stop or vanished handset never touches another. Hands every event to the view and
// every run's end to the report (when there is one) and to the log; a stop signal stops every
// run as the Stop button does. Returns the exit status: 130 after a signal; else 9 when a
// report row could not be written; else, for one port refused, its refusal's status; else 0
// when every port ended done (with --all-ports: every port where a handset answered, and one
// at least), 1 otherwise.
int RunDownloads(CliSession& session, const CDLParameter& package, RunView& view, const RunReport* report);

// --station: a loop on every claimed port until stopped or, with --max-handsets, until that
// many handsets are recorded (StationRunner). Its exit status.
int RunStation(CliSession& session, const CDLParameter& package, StationView& view, const RunReport* report);

// Makes the worker of a claimed port's run (which posts to run.target).
using WorkerMaker = std::function<std::unique_ptr<PortWorker>(PortRun& run)>;

// The same over the given claims, with workers made by make, for a load of loadSize bytes.
int RunPorts(CliSession& session, const std::vector<std::unique_ptr<PortClaim>>& claims, RunView& view,
             const RunReport* report, uint64_t loadSize, const std::string& loadVersion, const WorkerMaker& make);
