// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// Shows a percentage: on a terminal as one bar redrawn in place (with the transfer rate and the
// time left where they are known, and a note after them), otherwise as one plain line per tenth
// (the first percentage of 0-9, 10-19, ... and 100), so logs and pipes stay readable.
class ProgressPrinter {
public:
    // Plain lines read "label: N%" unless a line format is set.
    ProgressPrinter(std::FILE* out, bool terminal, std::string label);

    // Plain lines from a library text with one "%d" (e.g. "Downloading: %d%% done").
    void SetLineFormat(std::string format) { m_lineFormat = std::move(format); }

    // bytesPerSecond 0 and secondsLeft negative: unknown, not shown; note: shown after them on a
    // terminal ("committing and restarting").
    void Show(uintptr_t percent, double bytesPerSecond = 0, double secondsLeft = -1, const std::string& note = "");
    // Ends the bar's line, if one was drawn, so the next output starts on a line of its own.
    void End();

private:
    std::FILE* m_out;
    bool m_terminal;
    std::string m_label;
    std::string m_lineFormat;
    bool m_barOpen = false;
    int m_lastTenth = -1;  // plain lines: the tenth shown last
};
