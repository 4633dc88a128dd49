// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/cli/transfer_estimate.h"

// Shows a percentage: on a terminal as one bar redrawn in place (with the transfer rate and the
// time left once a transfer size is given), otherwise as one plain line per tenth (the first
// percentage of 0-9, 10-19, ... and 100), so logs and pipes stay readable.
class ProgressPrinter {
public:
    // Plain lines read "label: N%" unless a line format is set.
    ProgressPrinter(std::FILE* out, bool terminal, std::string label);

    // Plain lines from a library text with one "%d" (e.g. "Downloading: %d%% done").
    void SetLineFormat(std::string format) { m_lineFormat = std::move(format); }
    // The bytes the percentages stand for: the bar then shows the rate and the time left.
    void TrackTransfer(uint64_t totalBytes);

    void Show(uintptr_t percent);
    // Ends the bar's line, if one was drawn, so the next output starts on a line of its own.
    void End();

private:
    std::FILE* m_out;
    bool m_terminal;
    std::string m_label;
    std::string m_lineFormat;
    bool m_barOpen = false;
    int m_lastTenth = -1;  // plain lines: the tenth shown last
    bool m_tracking = false;
    TransferEstimate m_estimate;
    std::chrono::steady_clock::time_point m_origin = std::chrono::steady_clock::now();
};
