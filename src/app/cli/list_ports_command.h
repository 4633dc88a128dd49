// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>

// vexlor --cli --list-ports: the usable serial ports in the order the window lists them
// (Bluetooth and infrared left out, and any name --port would refuse), one a line with tab-
// separated columns: COM name, device, USB vendor:product, serial number, product text (each
// "-" when the device has none), and whether the port can be used: "ok", "no access" (this user
// may not open it), "in use by NAME (PID N)" ("in use by another program" where the system names
// no holder) or "cannot be opened: REASON". Returns the exit status, 0.
int RunListPortsCommand(std::FILE* out);
