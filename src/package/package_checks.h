// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "package/dl_parameter.h"
#include "platform/notify_target.h"
#include "platform/read_only_file.h"

// The start-up check of the package, in the download operator's order: read the parameter block
// into parameters, check the load CRC (posting WM_DL_PROGRESS to window, which may be null),
// then the program image self-check. Stops at the first failing step and returns its code after
// logging the step's line; 1 when all pass. A failed later step leaves the parameters read.
// failedStep, when given, receives the failing step (1 to 3), or 0 when all pass.
int32_t RunPackageChecks(platform::ReadOnlyFile& file, CDLParameter& parameters, platform::NotifyTarget* window,
                         int* failedStep = nullptr);

// The line logged when step 1, 2 or 3 fails; empty for any other number.
const char* PackageCheckStepMessage(int step);
