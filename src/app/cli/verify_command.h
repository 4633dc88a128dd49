// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>

// vexlor --cli --verify: opens the program's own file, runs the start-up package check on a
// background thread while this thread shows its progress, and reports the outcome.
// Returns the exit status: 0 when every check passes, 7 (kExitPackage) when the program carries
// no load or it is damaged (a copy cut short is told as damaged: copy it again), 1 when the
// program file cannot be opened.
// quiet: no progress lines.
int RunVerifyCommand(std::FILE* out, std::FILE* err, bool quiet = false);
