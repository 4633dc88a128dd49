// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "platform/folder_path.h"

// The command that packs a firmware load into a copy of the program at programPath, with the
// vexlor-pack beside it, written for the system's own shell: every path in double quotes (a
// folder such as "C:\Program Files\Vexlor" holds spaces), Windows names with ".exe".
// FIRMWARE.bin and VERSION stand for what the technician fills in.
std::string PackCommandFor(const std::string& programPath, const platform::PathRules& rules = platform::kSystemPaths);
