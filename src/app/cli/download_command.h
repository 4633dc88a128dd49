#pragma once
#include <cstdio>

#include "app/cli/cli_arguments.h"

// vexlor --cli --port COMn [--lang N]: the start-up checks of the window (log, single instance,
// language library, package check with progress), then one download on the port. Prints one
// "[0xNNN] text" line per status code and the progress; SIGINT and SIGTERM stop the run as the
// Stop button does. Returns the exit status: 0 only after the done status, 1 for a failure
// status or a failed start-up check (a second instance ends silently), 130 after a signal.
int RunDownloadCommand(const CliArguments& args, std::FILE* out, std::FILE* err);
