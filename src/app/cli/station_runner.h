// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/cli_session.h"
#include "app/cli/run_keeper.h"
#include "app/cli/run_report.h"
#include "app/cli/station_loop.h"
#include "app/cli/station_port.h"

// A station: a loop on every claimed port (StationLoop), handset after handset, until stopped
// or, with --max-handsets, until that many handsets are recorded. Each handset is a run of its
// own, told and recorded as any run is (RunKeeper: the view's events, the log's outcome line, a
// report row), with its number on the port and the confirmation of its restart. Driven step by
// step from one thread (Step), so a command line or a window can run it alike.
class StationRunner {
public:
    StationRunner(CliSession& session, StationView& view, const RunReport* report, uint64_t loadSize,
                  std::string loadVersion);
    ~StationRunner();

    // Starts a loop on every claimed port; a refused port is told and recorded at once.
    void Start(const std::vector<std::unique_ptr<PortClaim>>& claims, const StationWorkerMaker& make,
               const ProbeLineMaker& line = nullptr);
    // Takes the messages that come within wait (a stop signal among them). False once the
    // station has ended: stopped, every loop ended, or enough handsets recorded.
    bool Step(std::chrono::milliseconds wait);
    // Ends the station now, as a stop signal does: handsets in flight are stopped, waiting ports
    // stop at once. Then the view's summary.
    void Finish();
    // 130 after a stop signal; else 9 when a report row was lost; else 1 when a handset failed
    // (or a port was refused); else 0.
    int ExitStatus() const;

    // Every message until the station ends, then Finish: the exit status.
    int Run(const std::vector<std::unique_ptr<PortClaim>>& claims, const StationWorkerMaker& make,
            const ProbeLineMaker& line = nullptr);

    const std::vector<std::unique_ptr<StationPort>>& Ports() const { return m_ports; }
    BenchTotals Totals() const;

private:
    void Take(const MessageQueue::Message& message);
    void OnEvent(StationPort& port, StationEvent& event);
    void BeginHandset(StationPort& port, StationEvent& event);
    // The handset's record, once: counted on its port.
    void Record(StationPort& port, PortRun& run);
    // Counts a handset on its port once its record is written.
    void Count(StationPort& port, const PortRun& run);
    void StopLoops();
    bool Ended() const;

    CliSession& m_session;
    StationView& m_view;
    RunKeeper m_keeper;
    std::vector<std::unique_ptr<StationPort>> m_ports;
    std::unique_ptr<std::atomic<int>> m_budget;  // --max-handsets: handsets that may still begin
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    unsigned m_recorded = 0;
    bool m_stopAsked = false;
    bool m_finished = false;
    bool m_anyRefused = false;
};
