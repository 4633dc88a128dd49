// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace platform {

// When the bytes written to a serial line will have left it: 10 bits a byte at the rate in force,
// one after another, plus what the driver says it still holds. A rate change or a restore of the
// port's earlier settings waits for this, since bytes still on their way would otherwise go out
// at the new rate, garbled. A pseudo-terminal's queue looks empty at once and a USB adapter keeps
// its last bytes for its latency time; the settle margin covers both.
//
// Threads: Wrote may come from the writing thread while another waits.
class OutputClock {
public:
    using Clock = std::chrono::steady_clock;
    // After the last byte's line time, how long bytes may still sit in an adapter or wait for the
    // far end of a pseudo-terminal to take them.
    static constexpr int kSettleMs = 100;
    // The longest a close or a rate change waits for a driver that keeps holding bytes (a far end
    // that stopped reading, a line held by flow control): never a hang.
    static constexpr int kQueueLimitMs = 2000;
    // A driver takes no more than about this many bytes ahead of the line (its buffer): a writer
    // faster than the line is held by the driver, so the line is never further behind than this.
    static constexpr size_t kDriverBufferBytes = 4096;

    // bytes were handed to the driver now, at baudrate.
    void Wrote(size_t bytes, uint32_t baudrate);
    // The moment the bytes written so far will have left, settle margin included.
    Clock::time_point SettledAt() const;

    // Waits until the bytes written have left: the driver's queue is empty (queued gives the
    // bytes it still holds, or a negative number where it cannot tell) and the settle time has
    // passed; at most kQueueLimitMs past the settle time. True when they have left.
    bool WaitUntilSent(const std::function<long()>& queued) const;

private:
    std::atomic<Clock::rep> m_lastLeaves{0};  // when the last byte written leaves the line
};

}  // namespace platform
