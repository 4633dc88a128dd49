// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "package/package_cipher.h"
#include "platform/read_only_file.h"

// Reads and deciphers the chunks of a load area on two threads and hands them out in area
// order. Work goes in batches of a few chunks (one read and one hand-over per batch keep the
// threads' coordination cheap): a worker thread runs ahead through a small ring of batch
// buffers, and the consumer, while it waits for the next batch in order, deciphers batches
// further on itself, so both cores stay busy while the consumer also does its in-order work
// (the CRC). Memory stays at the ring, whatever the area size. Without a second thread the
// consumer does all the work.
class ChunkPipeline {
public:
    static constexpr uint32_t kChunksPerBatch = 4;
    static constexpr uint32_t kBatchSlots = 16;  // 256 KiB: slack for a thread the scheduler holds back

    // The area starts at areaStart in file and holds chunkCount chunks of 4096 bytes.
    ChunkPipeline(const platform::ReadOnlyFile& file, int64_t areaStart, uint32_t chunkCount);
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    // The next chunk, deciphered, valid until the following call. Null when that chunk could not
    // be read whole (or every chunk was handed out); LastFailure() then tells how the read ended.
    const uint8_t* Next();

    struct ReadFailure {
        int64_t offset = 0;     // file offset of the chunk
        int64_t bytesRead = 0;  // of that chunk; -1 for a read error
        int error = 0;          // errno of a read error
    };
    const ReadFailure& LastFailure() const { return m_failure; }

private:
    struct Slot {
        int64_t readyBatch = -1;  // the batch the buffer holds once it is deciphered
        int64_t bytesRead = 0;    // of the whole batch; -1 for a read error
        int error = 0;
    };

    bool CanClaimLocked() const;
    // Reads batch into its slot's buffer and deciphers its whole chunks; then publishes it.
    void Produce(uint32_t batch, PackageCipher& cipher);
    void WorkerLoop();
    uint8_t* SlotBuffer(uint32_t batch) const;
    uint32_t ChunksIn(uint32_t batch) const;

    const platform::ReadOnlyFile& m_file;
    const int64_t m_areaStart;
    const uint32_t m_chunkCount;
    const uint32_t m_batchCount;
    std::unique_ptr<uint8_t[]> m_buffers;
    PackageCipher m_consumerCipher;

    std::mutex m_mutex;
    std::condition_variable m_spaceFreed;  // the worker waits here for a free slot
    std::condition_variable m_batchReady;  // the consumer waits here for its next batch
    Slot m_slots[kBatchSlots];
    uint32_t m_nextClaim = 0;  // next batch nobody has started on
    uint32_t m_released = 0;   // batches the consumer has finished with; their slots are free
    bool m_waitingForSpace = false;
    bool m_waitingForBatch = false;
    bool m_stop = false;

    // The consumer's own position: only it touches these.
    uint32_t m_nextOut = 0;    // next chunk to hand out
    int64_t m_heldBatch = -1;  // the batch whose chunks it is handing out
    int64_t m_heldBytes = 0;

    ReadFailure m_failure;
    std::thread m_worker;
};
