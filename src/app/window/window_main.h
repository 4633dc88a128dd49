// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "app/common/start_up.h"

// Runs the tool with its window: the whole start-up, the language dialog and the main window (or
// the bench window). The program's exit status.
int RunWindowApplication(int argc, char** argv, StartWindow window = StartWindow::kMain);
