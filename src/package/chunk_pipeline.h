#pragma once
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "package/package_cipher.h"
#include "platform/read_only_file.h"

// Reads and deciphers the chunks of a load area on two threads and hands them out in area
// order. A worker thread runs ahead through a ring of a few chunk buffers; the consumer, while
// it waits for the next chunk in order, deciphers chunks further on itself, so both cores stay
// busy while the consumer also does its in-order work (the CRC). Memory stays at the ring,
// whatever the area size. Without a second core or thread the consumer does all the work.
class ChunkPipeline {
public:
    static constexpr uint32_t kSlots = 8;

    // The area starts at areaStart in file and holds chunkCount chunks of 4096 bytes.
    ChunkPipeline(const platform::ReadOnlyFile& file, int64_t areaStart, uint32_t chunkCount);
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // The next chunk, deciphered, valid until the following call. Null when that chunk could not
    // be read whole (or every chunk was handed out); ReadFailure() then tells how the read ended.
    const uint8_t* Next();

    struct ReadFailure {
        int64_t offset = 0;     // file offset of the chunk
        int64_t bytesRead = 0;  // -1 for a read error
        int error = 0;          // errno of a read error
    };
    const ReadFailure& LastFailure() const { return m_failure; }

private:
    struct Slot {
        int64_t readyChunk = -1;  // the chunk the buffer holds once it is deciphered
        int64_t bytesRead = 0;
        int error = 0;
    };

    bool CanClaimLocked() const;
    // Reads chunk into its slot's buffer and deciphers it; then publishes it under the lock.
    void Produce(uint32_t chunk, PackageCipher& cipher);
    void WorkerLoop();
    uint8_t* Buffer(uint32_t chunk) const;

    const platform::ReadOnlyFile& m_file;
    const int64_t m_areaStart;
    const uint32_t m_chunkCount;
    std::unique_ptr<uint8_t[]> m_buffers;
    PackageCipher m_consumerCipher;

    std::mutex m_mutex;
    std::condition_variable m_spaceFreed;  // the worker waits here for a free slot
    std::condition_variable m_chunkReady;  // the consumer waits here for its next chunk
    Slot m_slots[kSlots];
    uint32_t m_nextClaim = 0;  // next chunk nobody has started on
    uint32_t m_nextOut = 0;    // next chunk to hand out
    uint32_t m_released = 0;   // chunks the consumer has finished with; their slots are free
    bool m_stop = false;

    ReadFailure m_failure;
    std::thread m_worker;
};
