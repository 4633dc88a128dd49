// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>

// vexlor --cli --list-ports: the usable serial ports in the order the window lists them
// (Bluetooth and infrared left out, and any name --port would refuse), one a line with tab-
// separated columns: COM name, device, USB vendor:product, serial number, product text (each
// "-" when the device has none), and whether the port can be used: "ok", "missing" (the device
// is not there), "no access" (this user may not open it), "in use by NAME (PID N)" (another
// vexlor's run, for the whole of it, or a program that holds the device; "in use by another
// program" where the system names no holder) or "cannot be opened: REASON". The settings file
// is looked at first, as the port tasks do: one that cannot be read ends it with kExitSettings.
// Returns the exit status.
int RunListPortsCommand(std::FILE* out, std::FILE* err);
