// SPDX-License-Identifier: Apache-2.0
#include "app/runs/transfer_estimate.h"

#include <cmath>
#include <cstdio>

#include "app/common/format_text.h"

void TransferEstimate::Sample(uint64_t bytes, double seconds) {
    if (!m_haveBase) {
        if (bytes == 0) return;
        m_haveBase = true;
        m_baseBytes = bytes;
        m_baseSeconds = seconds;
        m_bytes = bytes;
        m_seconds = seconds;
    }
    if (bytes <= m_bytes) return;
    m_bytes = bytes;
    m_seconds = seconds;
}

void TransferEstimate::Begin(uint64_t bytes, double seconds) {
    if (m_haveBase) return;
    m_haveBase = true;
    m_baseBytes = m_bytes = bytes;
    m_baseSeconds = m_seconds = seconds;
}

double TransferEstimate::BytesPerSecond() const {
    if (!m_haveBase || m_bytes <= m_baseBytes || m_seconds <= m_baseSeconds) return 0;
    return static_cast<double>(m_bytes - m_baseBytes) / (m_seconds - m_baseSeconds);
}

double TransferEstimate::SecondsLeft() const {
    const double rate = BytesPerSecond();
    if (rate <= 0) return -1;
    const uint64_t left = m_bytes >= m_totalBytes ? 0 : m_totalBytes - m_bytes;
    return static_cast<double>(left) / rate;
}

std::string FormatRate(double bytesPerSecond) {
    if (!(bytesPerSecond > 0) || !std::isfinite(bytesPerSecond)) return "0.0 KB/s";
    char text[48];
    if (bytesPerSecond >= 1024.0 * 1024.0) {
        std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / (1024.0 * 1024.0));
    } else {
        std::snprintf(text, sizeof text, "%.1f KB/s", bytesPerSecond / 1024.0);
    }
    return text;
}

std::string FormatProgressBar(unsigned percent, double bytesPerSecond, double secondsLeft, int width,
                              std::string_view leftFormat) {
    if (percent > 100) percent = 100;
    if (width < 1) width = 1;
    const int filled = static_cast<int>(static_cast<long long>(width) * percent / 100);
    std::string line = "[";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(width - filled), '.');
    char tail[64];
    std::snprintf(tail, sizeof tail, "] %3u%%", percent);
    line += tail;
    if (bytesPerSecond > 0 && std::isfinite(bytesPerSecond)) line += "  " + FormatRate(bytesPerSecond);
    if (secondsLeft >= 0 && std::isfinite(secondsLeft) && secondsLeft < 1e7) {
        const long long total = std::llround(secondsLeft);
        std::snprintf(tail, sizeof tail, "%lld:%02lld", total / 60, total % 60);
        line += "  " + FormatText(leftFormat, tail);
    }
    return line;
}
