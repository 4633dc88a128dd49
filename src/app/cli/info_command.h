// SPDX-License-Identifier: Apache-2.0
#pragma once

class CliSession;

// vexlor --cli --port PORT --info: after the session's start-up, checks the load this program
// carries (as a download does), finds the handset, brings it to diagnostic mode if needed and
// prints what it reports (mode, software version, platform) and how the load compares with it
// (--json: as one "info" object). Nothing is downloaded. Returns the exit status: 7 when the
// load is damaged (told after the handset's facts), else 0 when the handset answered, 1 when
// none could be reached (with the reason).
int RunInfoCommand(CliSession& session);
