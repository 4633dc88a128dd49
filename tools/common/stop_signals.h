// SPDX-License-Identifier: Apache-2.0
#pragma once

// Makes SIGTERM, SIGINT and SIGHUP stop a tool's main loop cleanly: each writes a byte to a
// pipe whose read end (wakeRead) the loop polls. SIGPIPE is ignored, since the tools write to
// terminals whose reader may go away. False when the pipe or a handler cannot be set up.
bool InstallStopSignals(int& wakeRead);
