// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/runs/run_keeper.h"
#include "app/runs/run_report.h"
#include "app/runs/run_settings.h"
#include "app/runs/station_loop.h"
#include "app/runs/station_port.h"

// A station: a loop on every claimed port (StationLoop), handset after handset, until stopped
// or, with --max-handsets, until that many handsets are recorded. Each handset is a run of its
// own, told and recorded as any run is (RunKeeper: the view's events, the log's outcome line, a
// report row), with its number on the port and the confirmation of its restart. Driven step by
// step from one thread (Step), so a command line or a window can run it alike.
class StationRunner {
public:
    StationRunner(RunSettings settings, RunContext& context, StationView& view, const RunReport* report,
                  uint64_t loadSize, std::string loadVersion);
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
    // How the station ended: stopped, a report row lost, a handset failed (or a port refused).
    RunsEnd End() const;

    // Every message until the station ends, then Finish: how it ended.
    RunsEnd Run(const std::vector<std::unique_ptr<PortClaim>>& claims, const StationWorkerMaker& make,
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

    RunSettings m_settings;
    RunContext& m_context;
    StationView& m_view;
    RunKeeper m_keeper;
    std::vector<std::unique_ptr<StationPort>> m_ports;
    FlashedHandsets m_flashed;                   // every port's handsets flashed done, by ESN
    std::unique_ptr<std::atomic<int>> m_budget;  // --max-handsets: handsets that may still begin
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    unsigned m_recorded = 0;
    bool m_stopAsked = false;
    bool m_finished = false;
    bool m_anyRefused = false;
};
