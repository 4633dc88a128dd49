// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "app/cli/cli_session.h"
#include "app/runs/run_report.h"
#include "app/runs/run_settings.h"
#include "app/runs/run_view.h"
#include "app/runs/station_port.h"
#include "package/dl_parameter.h"

// The command line's runs over the run layer: its arguments as the runs' settings, its session
// as their context, and how they ended as its exit status.

// What the arguments ask of the runs.
RunSettings RunSettingsOf(const CliSession& session);

// 130 after a stop signal; else 9 when a report row was lost; else a single port's refusal's own
// status (3, 4 or 8); else 1 when a run failed; else 0.
int ExitStatusOf(const RunsEnd& end);

// A download on every claimed port at once (RunPorts). Its exit status.
int RunDownloads(CliSession& session, const CDLParameter& package, RunView& view, const RunReport* report);

// --station: a loop on every claimed port until stopped or, with --max-handsets, until that
// many handsets are recorded (StationRunner). Its exit status.
int RunStation(CliSession& session, const CDLParameter& package, StationView& view, const RunReport* report);
