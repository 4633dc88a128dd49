// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>

// The start-up look at the settings file that every headless task on ports shares: a file that
// exists but cannot be read, or is no settings file at all, ends the task (kExitSettings) with
// the reason; each line that is not read and each port name given to two devices is told on err
// with its line number, and the task goes on. kExitDone otherwise.
int ReportSettingsFile(std::FILE* err);

// Opens the diagnostic log with the command line's overrides; a log that was asked for and
// cannot be written is told on err with its path and the system's words.
struct CliArguments;
void OpenLogTellingFailure(const CliArguments& args, std::FILE* err);
