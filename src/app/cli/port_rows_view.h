// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "app/cli/cli_session.h"
#include "app/cli/progress_printer.h"
#include "app/cli/run_view.h"

// Several ports on a terminal: one live row per port (port, phase, bar, rate, time left; at the
// end its final status line), redrawn in place at most ten times a second, each redraw one
// write so the rows never flicker; then the summary table.
class PortRowsView : public RunView {
public:
    explicit PortRowsView(const CliSession& session);

    void CheckProgress(unsigned percent) override;
    void Begin(const std::vector<std::unique_ptr<PortRun>>& runs) override;
    void Refused(const PortRun& run) override { Changed(run); }
    void Status(const PortRun& run, uint32_t code) override;
    void Progress(const PortRun& run, unsigned) override { Changed(run); }
    void Waiting(const PortRun& run, const std::string& line) override;
    void Stopped(const PortRun& run) override { Changed(run); }
    void Tick() override;
    void Finish(const std::vector<std::unique_ptr<PortRun>>& runs) override;

    // The row of one run as it stands (without the terminal's control characters).
    std::string Row(const PortRun& run) const;

private:
    void Changed(const PortRun&) { m_dirty = true; }
    void Redraw();

    const CliSession& m_session;
    ProgressPrinter m_check;
    const std::vector<std::unique_ptr<PortRun>>* m_runs = nullptr;
    size_t m_portWidth = 4;
    bool m_drawn = false;
    bool m_dirty = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};
