// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "app/cli/cli_session.h"
#include "app/cli/progress_printer.h"
#include "app/common/status_lines.h"
#include "app/runs/run_view.h"

// Several ports on a terminal: one live row per port (port, phase, bar, rate, time left; at the
// end its final status line), redrawn in place at most ten times a second, each redraw one
// write so the rows never flicker; then the summary table. The rows never outnumber the
// terminal's lines (more ports than that: a compact view, a count line and a short cell per
// port), and a row wider than the terminal is cut with a visible mark.
class PortRowsView : public RunView {
public:
    explicit PortRowsView(const CliSession& session);

    void CheckProgress(unsigned percent) override;
    void Begin(const std::vector<std::unique_ptr<PortRun>>& runs) override;
    void Refused(const PortRun& run) override { Changed(run); }
    void Status(const PortRun& run, uint32_t code) override;
    void Progress(const PortRun& run, unsigned) override { Changed(run); }
    void Waiting(const PortRun& run, const std::string& line) override;
    void Stopping(const PortRun& run) override;
    void Stopped(const PortRun& run) override { Changed(run); }
    void Confirming(const PortRun& run) override { Changed(run); }
    void Recorded(const PortRun& run) override { Changed(run); }
    void Tick() override;
    void Finish(const std::vector<std::unique_ptr<PortRun>>& runs) override;

    // The row of one run as it stands (without the terminal's control characters).
    std::string Row(const PortRun& run) const;
    // The lines of a redraw on a terminal of columns x lines (0: not known, no limit): one row a
    // port, or the compact view; each line fits columns - 1, so no terminal wraps it.
    std::vector<std::string> Lines(int columns, int lines) const;

private:
    void Changed(const PortRun&) { m_dirty = true; }
    void Redraw();
    std::vector<std::string> CompactLines(int columns, int lines) const;

    const CliSession& m_session;
    ProgressPrinter m_check;
    const std::vector<std::unique_ptr<PortRun>>* m_runs = nullptr;
    size_t m_portWidth = 4;
    size_t m_drawnLines = 0;  // lines of the last redraw, which the next one goes back over
    bool m_dirty = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

// text cut to fit columns display columns (0: as it is), never inside a character; a text that
// did not fit ends with a mark ("…") so the cut shows.
std::string FitColumns(const std::string& text, int columns);

// Cells of one width packed side by side into lines of width columns (all on one line when 0),
// at most maxLines lines: when more cells come, the last place says how many were left out
// ("+3 more"; more: the library's word).
std::vector<std::string> PackCells(const std::vector<std::string>& cells, size_t cellWidth, int width,
                                   size_t maxLines = SIZE_MAX, const std::string& more = "more");

// Where a running run stands: "looking for the handset", "checking the version", "switching to
// download mode", "downloading", "committing and restarting".
std::string RunPhaseText(const PortRun& run, const TextLookup& text);

// One write that draws lines over the drawnBefore lines a live view drew last: back to its first
// row, each line rewritten and cleared to its end, whatever is left below cleared.
std::string RedrawFrame(const std::vector<std::string>& lines, size_t drawnBefore);
