// SPDX-License-Identifier: Apache-2.0
#include "app/common/package_problem.h"

#include "package/package_errors.h"

bool IsMissingPackage(int32_t checkResult) {
    return checkResult == PKGERR_PARAM_CRC || checkResult == PKGERR_MARKER || checkResult == PKGERR_PARAM_SHORT;
}
