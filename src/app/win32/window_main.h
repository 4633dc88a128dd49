// SPDX-License-Identifier: Apache-2.0
#pragma once

// Runs the Win32 window application (vexlor without arguments); its exit status.
int RunWindowApplication(int argc, char** argv);
