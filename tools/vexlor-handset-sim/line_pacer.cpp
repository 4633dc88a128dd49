#include "line_pacer.h"

#include <algorithm>
#include <thread>

std::chrono::microseconds LinePacer::LineTime(size_t bytes) const {
    if (m_baud == 0) return std::chrono::microseconds(0);
    return std::chrono::microseconds(static_cast<int64_t>(bytes) * 10 * 1000000 / m_baud);
}

void LinePacer::Pace(size_t bytes) {
    if (m_baud == 0) return;
    const auto start = std::max(std::chrono::steady_clock::now(), m_lineFree);
    m_lineFree = start + LineTime(bytes);
    std::this_thread::sleep_until(m_lineFree);
}

size_t LinePacer::ReadChunk() const {
    if (m_baud == 0) return 4096;
    return std::max<size_t>(16, m_baud / 1000);
}
