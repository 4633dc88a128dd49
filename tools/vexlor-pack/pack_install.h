// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <string>
#include <vector>

// vexlor-pack --install --load FILE --version TEXT [--program EXE]: a user's own bench tool,
// without root. The load is packed into ~/.local/libexec/vexlor/vexlor beside copies of the
// language libraries, the packed program checked, and the user's own desktop entries
// (~/.local/share/applications, the package's file names, so they take the place of the
// package's in the menu) start that copy. EXE is the vexlor beside this vexlor-pack by default.

// Whether args ask for --install (then RunInstall takes them all).
bool AsksForInstall(const std::vector<std::string>& args);

// Exit status: 0 installed (what was written told on out), 1 refused or failed (err says why;
// a program already installed there stays as it was), 2 a bad command line, 130 stopped.
int RunInstall(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, const std::atomic<bool>* stop);
