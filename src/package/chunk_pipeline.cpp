#include "package/chunk_pipeline.h"

#include <cerrno>
#include <system_error>

#include "package/package_layout.h"

ChunkPipeline::ChunkPipeline(const platform::ReadOnlyFile& file, int64_t areaStart, uint32_t chunkCount)
    : m_file(file),
      m_areaStart(areaStart),
      m_chunkCount(chunkCount),
      m_buffers(new uint8_t[size_t{kSlots} * kChunkSize]) {
    if (chunkCount < 2 || std::thread::hardware_concurrency() == 1) return;
    try {
        m_worker = std::thread(&ChunkPipeline::WorkerLoop, this);
    } catch (const std::system_error&) {
        // No second thread: the consumer deciphers every chunk itself.
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

uint8_t* ChunkPipeline::Buffer(uint32_t chunk) const { return m_buffers.get() + size_t{chunk % kSlots} * kChunkSize; }

bool ChunkPipeline::CanClaimLocked() const {
    return !m_stop && m_nextClaim < m_chunkCount && m_nextClaim < m_released + kSlots;
}

void ChunkPipeline::Produce(uint32_t chunk, PackageCipher& cipher) {
    uint8_t* buffer = Buffer(chunk);
    errno = 0;
    const int64_t got = m_file.ReadAt(m_areaStart + int64_t{chunk} * kChunkSize, buffer, kChunkSize);
    const int error = errno;
    if (got == kChunkSize) cipher.DecipherUnit(buffer, kChunkSize);

    std::lock_guard<std::mutex> lock(m_mutex);
    Slot& slot = m_slots[chunk % kSlots];
    slot.bytesRead = got;
    slot.error = error;
    slot.readyChunk = chunk;
    m_chunkReady.notify_one();
}

void ChunkPipeline::WorkerLoop() {
    PackageCipher cipher;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_spaceFreed.wait(lock, [this] { return m_stop || m_nextClaim >= m_chunkCount || CanClaimLocked(); });
        if (!CanClaimLocked()) return;
        const uint32_t chunk = m_nextClaim++;
        lock.unlock();
        Produce(chunk, cipher);
        lock.lock();
    }
}

const uint8_t* ChunkPipeline::Next() {
    std::unique_lock<std::mutex> lock(m_mutex);
    // The chunk handed out last time is done with: its slot may take a chunk further on.
    m_released = m_nextOut;
    m_spaceFreed.notify_one();
    if (m_nextOut >= m_chunkCount) return nullptr;

    const uint32_t chunk = m_nextOut;
    const Slot& slot = m_slots[chunk % kSlots];
    while (slot.readyChunk != chunk) {
        if (CanClaimLocked()) {
            const uint32_t claimed = m_nextClaim++;
            lock.unlock();
            Produce(claimed, m_consumerCipher);
            lock.lock();
        } else {
            m_chunkReady.wait(lock);
        }
    }
    ++m_nextOut;
    if (slot.bytesRead != kChunkSize) {
        m_failure.offset = m_areaStart + int64_t{chunk} * kChunkSize;
        m_failure.bytesRead = slot.bytesRead;
        m_failure.error = slot.error;
        return nullptr;
    }
    return Buffer(chunk);
}
