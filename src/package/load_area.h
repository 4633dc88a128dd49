// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "platform/read_only_file.h"

// Where the package of a given load size sits in the program file.
struct LoadArea {
    int64_t fileLength = 0;   // L: where the package ends (before a closing certificate table)
    uint32_t areaSize = 0;    // S: the load, its CRC and filler, in whole chunks
    uint32_t chunkCount = 0;  // S / 4096
    int64_t areaStart = 0;    // L - 512 - S
    int64_t imageLength = 0;  // L - 520 - S: the program image; its integrity record follows
};

// Works out the area for loadSize and checks that the file can hold it. 1, PKGERR_LOAD_SIZE
// (size 0, too large, or its CRC would cross two chunks), PKGERR_LOAD_FIT (file too short) or
// PKGERR_LOAD_READ (file length unknown); each failure logs a line under source.
int32_t LocateLoadArea(const platform::ReadOnlyFile& file, uint32_t loadSize, const char* source, LoadArea& area);

// What is wrong with a load size, for messages; empty when nothing is.
const char* DescribeLoadSizeProblem(uint64_t loadSize);
