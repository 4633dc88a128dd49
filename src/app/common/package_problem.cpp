// SPDX-License-Identifier: Apache-2.0
#include "app/common/package_problem.h"

#include "package/image_length.h"
#include "package/package_errors.h"

bool IsMissingPackage(int32_t checkResult) {
    return checkResult == PKGERR_PARAM_CRC || checkResult == PKGERR_MARKER || checkResult == PKGERR_PARAM_SHORT;
}

bool CarriesNoPackage(int32_t checkResult, const platform::ReadOnlyFile& program) {
    if (!IsMissingPackage(checkResult)) return false;
    const auto image = ProgramImageLength(program);
    const int64_t length = program.Length();
    return !image || length < 0 || static_cast<uint64_t>(length) == *image;
}
