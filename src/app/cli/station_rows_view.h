// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "app/cli/cli_session.h"
#include "app/cli/progress_printer.h"
#include "app/runs/station_port.h"

// A station on a terminal: one live row per port (its done and failed counts, then its state:
// waiting, the handset flashing with bar, rate and time left, confirming, remove the handset,
// failed: remove with the failure's text until the handset is taken off), and a bench line with
// the totals and the handsets per hour; redrawn in place at most ten times a second, in one
// write. More ports than the terminal has lines: a short cell per port instead. At the end the
// station's summary.
class StationRowsView : public StationView {
public:
    explicit StationRowsView(const CliSession& session);

    void CheckProgress(unsigned percent) override;
    void Refused(const PortRun&) override { m_dirty = true; }
    void Status(const PortRun&, uint32_t) override { m_dirty = true; }
    void Progress(const PortRun&, unsigned) override { m_dirty = true; }
    void Waiting(const PortRun&, const std::string&) override { m_dirty = true; }
    void Stopping(const PortRun&) override;
    void Stopped(const PortRun&) override { m_dirty = true; }
    void Recorded(const PortRun&) override { m_dirty = true; }
    void Tick() override;

    void BeginStation(const std::vector<std::unique_ptr<StationPort>>& ports) override;
    void PhaseChanged(const StationPort&) override { m_dirty = true; }
    void FinishStation(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals) override;

    // The row of one port as it stands (without the terminal's control characters).
    std::string Row(const StationPort& port) const;
    // The lines of a redraw on a terminal of columns x lines (0: not known, no limit), the bench
    // line last.
    std::vector<std::string> Lines(int columns, int lines, const BenchTotals& totals) const;

private:
    void Redraw(const BenchTotals& totals);
    std::string Cell(const StationPort& port) const;

    const CliSession& m_session;
    ProgressPrinter m_check;
    const std::vector<std::unique_ptr<StationPort>>* m_ports = nullptr;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    size_t m_portWidth = 4;
    size_t m_drawnLines = 0;
    bool m_dirty = false;
    std::chrono::steady_clock::time_point m_lastDraw{};
};
