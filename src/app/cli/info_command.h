// SPDX-License-Identifier: Apache-2.0
#pragma once

class CliSession;

// vexlor --cli --port PORT --info: after the session's start-up, finds the handset, brings it
// to diagnostic mode if needed and prints what it reports (mode, software version, platform)
// and how that compares with the load this program carries. Nothing is downloaded. Returns the
// exit status: 0 when the handset answered, 1 when none could be reached (with the reason).
int RunInfoCommand(CliSession& session);
