// SPDX-License-Identifier: Apache-2.0
#pragma once

class CliSession;

// vexlor --cli --port PORT: after the session's start-up, the package check (with progress) and
// one download on the port. Prints one "[0xNNN] text" line per status code, under a failure the
// line that says why where the tool knows, the progress, and a summary line at the end; SIGINT,
// SIGTERM and SIGHUP stop the run as the Stop button does. Returns the exit status.
int RunDownloadCommand(CliSession& session);
