// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>

// Models the time bytes take on a real serial line: 10 bits a byte (start, 8 data, stop) at the
// given rate. A pseudo-terminal moves bytes at memory speed, so a test of time-outs or progress
// that should look like a real handset needs the simulator to wait. One clock serves both
// directions: the simulator answers only after it has read, as a half-duplex exchange does.
class LinePacer {
public:
    explicit LinePacer(uint32_t baud) : m_baud(baud) {}

    bool Enabled() const { return m_baud != 0; }

    // Waits until bytes more would have crossed the line after everything paced before.
    void Pace(size_t bytes);

    // The line time of bytes at this rate.
    std::chrono::microseconds LineTime(size_t bytes) const;

    // How many bytes to read at once: about 10 ms of line time, at least 16 (so a detection
    // packet is never split). 4096 when not pacing.
    size_t ReadChunk() const;

private:
    // How late a wake-up may be and still count as the line never having been idle.
    static constexpr std::chrono::milliseconds kContinuousSlack{5};

    uint32_t m_baud;
    std::chrono::steady_clock::time_point m_lineFree{};
};
