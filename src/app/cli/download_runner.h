// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <vector>

#include "app/cli/cli_session.h"
#include "app/cli/run_report.h"
#include "app/cli/run_view.h"
#include "package/dl_parameter.h"

// Runs a download on every claimed port at once, each with an operator of its own (its own
// worker, listener, reading of the program file and stream of messages), so one port's
// failure, stop or vanished handset never touches another. Hands every event to the view and
// every run's end to the report (when there is one); a stop signal stops every run as the Stop
// button does. Returns the exit status: 0 when every port ended done, 130 after a signal,
// 1 otherwise.
int RunDownloads(CliSession& session, const CDLParameter& package, RunView& view, const RunReport* report);
