// SPDX-License-Identifier: Apache-2.0
#include "package/load_area.h"

#include "log/log.h"
#include "package/package_errors.h"
#include "package/package_layout.h"
#include "package/pe_signature.h"

const char* DescribeLoadSizeProblem(uint64_t loadSize) {
    switch (CheckLoadSize(loadSize)) {
    case LoadSizeProblem::kZero: return "the load is empty";
    case LoadSizeProblem::kTooLarge: return "the load is too large for the package";
    case LoadSizeProblem::kCrcStraddles:
        return "the load size leaves 4093 to 4095 bytes in its last chunk, so its CRC would cross two chunks";
    case LoadSizeProblem::kNone: break;
    }
    return "";
}

int32_t LocateLoadArea(const platform::ReadOnlyFile& file, uint32_t loadSize, const char* source, LoadArea& area) {
    if (CheckLoadSize(loadSize) != LoadSizeProblem::kNone) {
        LogWriteSrc(LOG_ER, source, "Load size %X refused: %s.", loadSize, DescribeLoadSizeProblem(loadSize));
        return PKGERR_LOAD_SIZE;
    }
    LoadArea found;
    found.fileLength = PackageEnd(file);
    if (found.fileLength < 0) {
        LogWriteSrc(LOG_ER, source, "The length of the program file cannot be read.");
        return PKGERR_LOAD_READ;
    }
    found.areaSize = static_cast<uint32_t>(EncipheredAreaSize(loadSize));
    found.chunkCount = found.areaSize / kChunkSize;
    const int64_t packageSize = int64_t{found.areaSize} + kParameterBlockSize + kIntegrityRecordSize;
    if (found.fileLength < packageSize) {
        LogWriteSrc(LOG_ER, source, "The file of %llX bytes cannot hold a load area of %X bytes.",
                    static_cast<unsigned long long>(found.fileLength), found.areaSize);
        return PKGERR_LOAD_FIT;
    }
    found.imageLength = found.fileLength - packageSize;
    found.areaStart = found.imageLength + kIntegrityRecordSize;
    area = found;
    return 1;
}
