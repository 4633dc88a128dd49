#pragma once
#include <cstdio>

// vexlor --cli --list-ports: the usable serial ports, one "COMn<TAB>device" a line, in the
// order the window lists them (Bluetooth and infrared left out). Returns the exit status, 0.
int RunListPortsCommand(std::FILE* out);
