// SPDX-License-Identifier: Apache-2.0
#pragma once

// Runs the tool with its window: the whole start-up, the language dialog and the main window.
// The program's exit status.
int RunWindowApplication(int argc, char** argv);
