// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

// vexlor-pack --setup OUT.exe --load FILE --version TEXT --windows DIR: a factory's own Windows
// setup program, for many bench PCs, made on Linux as the release makes its own: the Windows
// files of DIR (the release's unpacked vexlor-<version>-windows.zip) staged with the load packed
// into vexlor.exe and checked, then the release's installer script (built into this program)
// run through NSIS's makensis. The setup installs a tool that flashes at once.

// Whether args ask for --setup (then RunSetup takes them all).
bool AsksForSetup(const std::vector<std::string>& args);

// Exit status: 0 OUT written, 1 refused or failed (err says why; OUT is left as it was), 2 a bad
// command line, 130 stopped.
int RunSetup(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, const std::atomic<bool>* stop);
