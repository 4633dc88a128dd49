// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "pack_options.h"

// Checks the inputs and writes the package. True when OUT was written; otherwise error says
// why and OUT is left as it was.
bool RunPack(const PackOptions& options, std::string& error);
