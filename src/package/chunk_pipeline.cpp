// SPDX-License-Identifier: Apache-2.0
#include "package/chunk_pipeline.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "package/package_layout.h"

ChunkPipeline::ChunkPipeline(const platform::ReadOnlyFile& file, int64_t areaStart, uint32_t chunkCount)
    : m_file(file),
      m_areaStart(areaStart),
      m_chunkCount(chunkCount),
      m_batchCount((chunkCount + kChunksPerBatch - 1) / kChunksPerBatch),
      m_buffers(new uint8_t[size_t{kBatchSlots} * kChunksPerBatch * kChunkSize]) {
    if (m_batchCount < 2 || std::thread::hardware_concurrency() == 1) return;
    try {
        m_worker = std::thread(&ChunkPipeline::WorkerLoop, this);
    } catch (const std::system_error&) {
        // No second thread: the consumer deciphers every batch itself.
    }
}

ChunkPipeline::~ChunkPipeline() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_spaceFreed.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

uint8_t* ChunkPipeline::SlotBuffer(uint32_t batch) const {
    return m_buffers.get() + size_t{batch % kBatchSlots} * kChunksPerBatch * kChunkSize;
}

uint32_t ChunkPipeline::ChunksIn(uint32_t batch) const {
    const uint32_t first = batch * kChunksPerBatch;
    return m_chunkCount - first < kChunksPerBatch ? m_chunkCount - first : kChunksPerBatch;
}

bool ChunkPipeline::CanClaimLocked() const {
    return !m_stop && m_nextClaim < m_batchCount && m_nextClaim < m_released + kBatchSlots;
}

void ChunkPipeline::Produce(uint32_t batch, PackageCipher& cipher) {
    uint8_t* buffer = SlotBuffer(batch);
    const size_t length = size_t{ChunksIn(batch)} * kChunkSize;
    errno = 0;
    const int64_t got = m_file.ReadAt(m_areaStart + int64_t{batch} * kChunksPerBatch * kChunkSize, buffer, length);
    const int error = errno;
    for (int64_t at = 0; at + kChunkSize <= got; at += kChunkSize) cipher.DecipherUnit(buffer + at, kChunkSize);

    std::lock_guard<std::mutex> lock(m_mutex);
    Slot& slot = m_slots[batch % kBatchSlots];
    slot.bytesRead = got;
    slot.error = error;
    slot.readyBatch = batch;
    if (m_waitingForBatch) m_batchReady.notify_one();
}

void ChunkPipeline::WorkerLoop() {
    PackageCipher cipher;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        while (!CanClaimLocked()) {
            if (m_stop || m_nextClaim >= m_batchCount) return;
            m_waitingForSpace = true;
            m_spaceFreed.wait(lock);
            m_waitingForSpace = false;
        }
        const uint32_t batch = m_nextClaim++;
        lock.unlock();
        Produce(batch, cipher);
        lock.lock();
    }
}

const uint8_t* ChunkPipeline::Next() {
    if (m_nextOut >= m_chunkCount) return nullptr;
    const uint32_t chunk = m_nextOut;
    const uint32_t batch = chunk / kChunksPerBatch;
    if (m_heldBatch != batch) {
        std::unique_lock<std::mutex> lock(m_mutex);
        // The batch handed out so far is done with: its slot may take a batch further on.
        m_released = batch;
        if (m_waitingForSpace) m_spaceFreed.notify_one();
        const Slot& slot = m_slots[batch % kBatchSlots];
        while (slot.readyBatch != batch) {
            if (CanClaimLocked()) {
                const uint32_t claimed = m_nextClaim++;
                lock.unlock();
                Produce(claimed, m_consumerCipher);
                lock.lock();
            } else {
                m_waitingForBatch = true;
                m_batchReady.wait(lock);
                m_waitingForBatch = false;
            }
        }
        m_heldBatch = batch;
        m_heldBytes = slot.bytesRead;
        m_failure.error = slot.error;
    }
    ++m_nextOut;
    const int64_t offsetInBatch = int64_t{chunk % kChunksPerBatch} * kChunkSize;
    if (m_heldBytes < offsetInBatch + kChunkSize) {
        m_failure.offset = m_areaStart + int64_t{chunk} * kChunkSize;
        m_failure.bytesRead = m_heldBytes < 0 ? -1 : std::max<int64_t>(0, m_heldBytes - offsetInBatch);
        m_nextOut = m_chunkCount;  // nothing after a failed chunk
        return nullptr;
    }
    return SlotBuffer(batch) + offsetInBatch;
}
