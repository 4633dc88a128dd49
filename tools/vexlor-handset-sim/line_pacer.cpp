// SPDX-License-Identifier: Apache-2.0
#include "line_pacer.h"

#include <algorithm>
#include <thread>

std::chrono::microseconds LinePacer::LineTime(size_t bytes) const {
    if (m_baud == 0) return std::chrono::microseconds(0);
    return std::chrono::microseconds(static_cast<int64_t>(bytes) * 10 * 1000000 / m_baud);
}

void LinePacer::Pace(size_t bytes) {
    if (m_baud == 0) return;
    // A line that was busy until a moment ago is still busy: bytes waiting while the simulator
    // woke up late have been crossing it all along. Only a real pause restarts the clock, so
    // scheduler jitter is not counted as idle line time.
    const auto now = std::chrono::steady_clock::now();
    const bool continuous = now <= m_lineFree + kContinuousSlack;
    const auto start = continuous ? m_lineFree : now;
    m_lineFree = start + LineTime(bytes);
    std::this_thread::sleep_until(m_lineFree);
}

size_t LinePacer::ReadChunk() const {
    if (m_baud == 0) return 4096;
    return std::max<size_t>(16, m_baud / 1000);
}
