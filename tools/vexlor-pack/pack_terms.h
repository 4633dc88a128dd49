// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// The --help text in the terms of the system it runs on: on Windows the program's .exe name,
// "/?" beside --help, and Ctrl+C or the console window's closing in place of the signals.
std::string PackUsageFor(bool windows);

// The line told when the stop requests cannot be watched.
const char* StopWatchFailure(bool windows);
