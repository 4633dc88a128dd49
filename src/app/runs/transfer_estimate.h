// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The transfer rate and the time left of a run: payload bytes a second over the block phase so
// far, from the load bytes the handset has taken and when.
class TransferEstimate {
public:
    explicit TransferEstimate(uint64_t totalBytes = 0) : m_totalBytes(totalBytes) {}
    // bytes sent, seen at seconds (any steady origin). The first look that finds bytes sent (the
    // first packet) starts the block phase: what came before it (finding the handset, switching
    // it to download mode) is not transfer time. The rate is taken when bytes last grew, so it
    // holds steady between the blocks.
    void Sample(uint64_t bytes, double seconds);
    // The block phase's start as the engine saw it: bytes sent (the first packet) at seconds.
    // Taken when no look has started it yet.
    void Begin(uint64_t bytes, double seconds);
    // Bytes per second; 0 while unknown.
    double BytesPerSecond() const;
    // Negative while unknown.
    double SecondsLeft() const;
    // When bytes last grew (a block's end), in the seconds of Sample; negative before any.
    double SecondsAtLastGrowth() const { return m_haveBase ? m_seconds : -1; }

private:
    uint64_t m_totalBytes;
    bool m_haveBase = false;
    uint64_t m_baseBytes = 0;
    double m_baseSeconds = 0;
    uint64_t m_bytes = 0;
    double m_seconds = 0;
};

// "1.8 MB/s" or "512.0 KB/s"; "0.0 KB/s" for no rate.
std::string FormatRate(double bytesPerSecond);

// "[#########...............]  42%  1.8 MB/s  0:12 left" with a bar width characters wide;
// an unknown rate (0) or time left (negative) is left out. leftFormat words the time left (the
// language library's IDS_TIME_LEFT).
std::string FormatProgressBar(unsigned percent, double bytesPerSecond, double secondsLeft, int width,
                              std::string_view leftFormat = "%s left");
