// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "platform/notify_target.h"
#include "platform/read_only_file.h"

// The package checks and the load reader. Class-level operations only; no state.
class CLoadMerger {
public:
    // Deciphers the whole load area and checks the load's CRC-30, posting WM_DL_PROGRESS to
    // window (may be null). 1, PKGERR_CRC, or PKGERR_LOAD_SIZE / PKGERR_LOAD_FIT /
    // PKGERR_LOAD_READ for a load size the file cannot hold or a failed read (logged).
    // Uses the process-wide chunked CRC-30: one such check at a time.
    static int32_t CheckLoadFileCRC(platform::ReadOnlyFile& file, uint32_t loadSize, platform::NotifyTarget* window);

    // The program image self-check against the package's integrity record. 1, PKGERR_CRC, or
    // PKGERR_LOAD_SIZE / PKGERR_LOAD_FIT / PKGERR_LOAD_READ (logged).
    static int32_t CheckExeCRC(platform::ReadOnlyFile& file, uint32_t loadSize);

    // Moves the file position to the first chunk of the load area. 1 or PKGERR_LOAD_SIZE /
    // PKGERR_LOAD_FIT / PKGERR_LOAD_READ (logged).
    static int32_t SeekToLoad(platform::ReadOnlyFile& file, uint32_t loadSize);

    // Reads the 4096 bytes at the file position into buffer and deciphers them as one chunk.
    // 1, or PKGERR_LOAD_READ (logged) when they cannot be read whole; the buffer is then zeroed.
    static int32_t ReadLoadChunk(platform::ReadOnlyFile& file, uint8_t* buffer);
};
