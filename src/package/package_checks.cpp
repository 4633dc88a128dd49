// SPDX-License-Identifier: Apache-2.0
#include "package/package_checks.h"

#include "log/log.h"
#include "package/load_merger.h"

namespace {

constexpr const char* kSource = "CDLOperator::SetLoad";

}  // namespace

const char* PackageCheckStepMessage(int step) {
    switch (step) {
    case 1: return "Load download parameter failed.";
    case 2: return "Check Load CRC failed.";
    case 3: return "Check Load Exe failed.";
    default: return "";
    }
}

int32_t RunPackageChecks(platform::ReadOnlyFile& file, CDLParameter& parameters, platform::NotifyTarget* window,
                         int* failedStep) {
    int step = 1;
    int32_t result = parameters.ReadParameterFromFile(file);
    if (result == 1) {
        step = 2;
        result = CLoadMerger::CheckLoadFileCRC(file, parameters.GetLoadSize(), window);
    }
    if (result == 1) {
        step = 3;
        result = CLoadMerger::CheckExeCRC(file, parameters.GetLoadSize());
    }
    if (result != 1) LogWriteSrc(LOG_ER, kSource, "%s", PackageCheckStepMessage(step));
    if (failedStep) *failedStep = result == 1 ? 0 : step;
    return result;
}
