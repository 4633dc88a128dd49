// SPDX-License-Identifier: Apache-2.0
#include "package/load_merger.h"

#include <cerrno>
#include <cstring>

#include "link/crc.h"
#include "log/log.h"
#include "package/chunk_pipeline.h"
#include "package/image_digest.h"
#include "package/load_area.h"
#include "package/load_progress.h"
#include "package/package_cipher.h"
#include "package/package_errors.h"
#include "package/package_layout.h"
#include "platform/sys_error.h"

namespace {

constexpr const char* kCheckLoadSource = "CLoadMerger::CheckLoadFileCRC";
constexpr const char* kCheckExeSource = "CLoadMerger::CheckExeCRC";
constexpr const char* kSeekSource = "CLoadMerger::SeekToLoad";
constexpr const char* kReadChunkSource = "CLoadMerger::ReadLoadChunk";

void LogReadFailure(const char* source, int64_t offset, int64_t bytesRead, int error) {
    if (bytesRead < 0)
        LogWriteSrc(LOG_ER, source, "Reading the load area at %llX failed: %s", static_cast<unsigned long long>(offset),
                    platform::SysErrorText(error).c_str());
    else
        LogWriteSrc(LOG_ER, source, "Only %lld of 4096 bytes could be read at %llX.", static_cast<long long>(bytesRead),
                    static_cast<unsigned long long>(offset));
}

// Feeds chunk `index` of `count` to the running CRC-30; returns the register (the finished CRC
// after the last chunk). The last chunk holds loadBytes load bytes, possibly none.
uint32_t FeedLoadCrc(const uint8_t* chunk, uint32_t index, uint32_t count, uint32_t loadBytes) {
    if (count == 1) {
        Crc30CalcPart(chunk, loadBytes * 8, CRC30_FIRST);
        return Crc30CalcPart(chunk, 0, CRC30_LAST);
    }
    if (index == 0) return Crc30CalcPart(chunk, kChunkSize * 8, CRC30_FIRST);
    if (index + 1 < count) return Crc30CalcPart(chunk, kChunkSize * 8, CRC30_MIDDLE);
    return Crc30CalcPart(chunk, loadBytes * 8, CRC30_LAST);
}

}  // namespace

int32_t CLoadMerger::CheckLoadFileCRC(platform::ReadOnlyFile& file, uint32_t loadSize, platform::NotifyTarget* window) {
    LoadArea area;
    const int32_t located = LocateLoadArea(file, loadSize, kCheckLoadSource, area);
    if (located != 1) return located;
    LogWriteSrc(LOG_DBG, kCheckLoadSource, "The encrypted size is %X", area.areaSize);

    LoadProgress progress(loadSize, window);
    progress.Start();
    file.SeekFromStart(area.areaStart);

    ChunkPipeline pipeline(file, area.areaStart, area.chunkCount);
    const uint8_t* chunk = nullptr;
    uint32_t crc = 0;
    for (uint32_t index = 0; index < area.chunkCount; ++index) {
        const uint32_t areaOffset = index * kChunkSize;
        chunk = pipeline.Next();
        if (!chunk) {
            const auto& failure = pipeline.LastFailure();
            LogReadFailure(kCheckLoadSource, failure.offset, failure.bytesRead, failure.error);
            return PKGERR_LOAD_READ;
        }
        LogWriteSrc(LOG_DBG, kCheckLoadSource, "The current pos is %X", areaOffset);
        const uint32_t loadBytes = index + 1 == area.chunkCount ? loadSize - areaOffset : kChunkSize;
        crc = FeedLoadCrc(chunk, index, area.chunkCount, loadBytes);
        progress.ChunkChecked(areaOffset);
    }
    file.SeekFromStart(area.areaStart + area.areaSize);

    // The stored CRC sits right after the load, whole inside the last chunk.
    if (crc != ReadLe32(chunk + loadSize % kChunkSize)) return PKGERR_CRC;
    progress.Succeeded();
    return 1;
}

int32_t CLoadMerger::CheckExeCRC(platform::ReadOnlyFile& file, uint32_t loadSize) {
    LoadArea area;
    const int32_t located = LocateLoadArea(file, loadSize, kCheckExeSource, area);
    if (located != 1) return located;

    uint8_t record[kIntegrityRecordSize];
    errno = 0;
    const int64_t got = file.ReadAt(area.imageLength, record, sizeof record);
    if (got != kIntegrityRecordSize) {
        if (got < 0)
            LogWriteSrc(LOG_ER, kCheckExeSource, "Reading the integrity record failed: %s",
                        platform::SysErrorText(errno).c_str());
        else
            LogWriteSrc(LOG_ER, kCheckExeSource, "The integrity record could not be read whole.");
        return PKGERR_LOAD_READ;
    }
    uint64_t digest = 0;
    uint64_t asWritten = 0;
    const int32_t hashed = DigestImage(file, area.imageLength, kCheckExeSource, digest, &asWritten);
    if (hashed != 1) return hashed;
    const uint64_t stored = ReadLe64(record);
    return digest == stored || asWritten == stored ? 1 : PKGERR_CRC;
}

int32_t CLoadMerger::SeekToLoad(platform::ReadOnlyFile& file, uint32_t loadSize) {
    LoadArea area;
    const int32_t located = LocateLoadArea(file, loadSize, kSeekSource, area);
    if (located != 1) return located;
    file.SeekFromStart(area.areaStart);
    return 1;
}

int32_t CLoadMerger::ReadLoadChunk(platform::ReadOnlyFile& file, uint8_t* buffer) {
    const int64_t offset = file.Position();
    errno = 0;
    const int64_t got = file.Read(buffer, kChunkSize);
    if (got != kChunkSize) {
        LogReadFailure(kReadChunkSource, offset, got, errno);
        std::memset(buffer, 0, kChunkSize);
        return PKGERR_LOAD_READ;
    }
    // A copy of the once-scheduled cipher: the same bytes as a fresh key schedule, without its cost.
    PackageCipher cipher;
    cipher.DecipherUnit(buffer, kChunkSize);
    return 1;
}
