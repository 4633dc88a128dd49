// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

// The transfer rate and the time left of a run, from its percentages and when they came.
class TransferEstimate {
public:
    explicit TransferEstimate(uint64_t totalBytes = 0) : m_totalBytes(totalBytes) {}
    // A percentage reached at seconds (any steady origin). The first one above 0 is the
    // baseline: what came before it (finding the handset, switching it) is not transfer time.
    void Sample(unsigned percent, double seconds);
    // Bytes per second; 0 while unknown.
    double BytesPerSecond() const;
    // Negative while unknown.
    double SecondsLeft() const;

private:
    uint64_t m_totalBytes;
    bool m_haveBase = false;
    unsigned m_basePercent = 0;
    double m_baseSeconds = 0;
    unsigned m_percent = 0;
    double m_seconds = 0;
};

// "1.8 MB/s" or "512.0 KB/s"; "0.0 KB/s" for no rate.
std::string FormatRate(double bytesPerSecond);

// "[#########...............]  42%  1.8 MB/s  0:12 left" with a bar width characters wide;
// an unknown rate (0) or time left (negative) is left out.
std::string FormatProgressBar(unsigned percent, double bytesPerSecond, double secondsLeft, int width);
