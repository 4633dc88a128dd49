// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <map>
#include <string>

#include "app/cli/cli_session.h"
#include "app/cli/port_lines_view.h"
#include "app/runs/station_port.h"

// A station without a terminal (a log, a pipe): one line per event, prefixed with its port, as
// a bench's runs have them (PortLinesView), plus the port's phases ("waiting for a handset",
// "handset 3: flashing", "remove the handset", ...) and each handset's outcome; at the end the
// station's summary.
class StationLinesView : public StationView {
public:
    explicit StationLinesView(const CliSession& session) : m_session(session), m_lines(session) {}

    void CheckProgress(unsigned percent) override { m_lines.CheckProgress(percent); }
    void Refused(const PortRun& run) override { m_lines.Refused(run); }
    void Status(const PortRun& run, uint32_t code) override { m_lines.Status(run, code); }
    void Progress(const PortRun& run, unsigned percent) override { m_lines.Progress(run, percent); }
    void Waiting(const PortRun& run, const std::string& line) override { m_lines.Waiting(run, line); }
    void Stopping(const PortRun& run) override { m_lines.Stopping(run); }
    void Stopped(const PortRun& run) override { m_lines.Stopped(run); }
    void Confirming(const PortRun& run) override { m_lines.Confirming(run); }
    void Recorded(const PortRun& run) override;

    void BeginStation(const std::vector<std::unique_ptr<StationPort>>&) override {}
    void PhaseChanged(const StationPort& port) override;
    void FinishStation(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals) override;

private:
    void Line(const StationPort& port, const std::string& text) const;

    const CliSession& m_session;
    PortLinesView m_lines;
    // What each port's lines told last.
    struct Told {
        StationPort::Phase phase;
        uint32_t sequence;
        std::string notice;
    };
    std::map<const StationPort*, Told> m_told;
};
