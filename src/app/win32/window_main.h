// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "app/common/start_up.h"

// Runs the Win32 window application (vexlor without arguments: the main window; --bench: the
// bench window); its exit status.
int RunWindowApplication(int argc, char** argv, StartWindow window = StartWindow::kMain);
