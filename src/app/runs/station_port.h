// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/runs/port_claim.h"
#include "app/runs/port_run.h"
#include "app/runs/run_view.h"
#include "app/runs/station_loop.h"

// A port of a station as its runner follows it: where it stands, the handset on it and what
// its handsets came to.
struct StationPort {
    enum class Phase {
        kWaiting,     // free: waiting for a handset
        kFlashing,    // the handset is being flashed
        kConfirming,  // done: waiting for the handset to restart
        kRemoval,     // waiting for the handset to be taken off (after done or failed)
        kEnded,       // the station has ended here (stopped, or enough handsets)
        kRefused,     // not run (named twice, held, not in the list)
    };

    StationPort(const PortClaim& claim, uint32_t source) : claim(claim), source(source) {}
    StationPort(const StationPort&) = delete;
    StationPort& operator=(const StationPort&) = delete;

    const std::string& Port() const { return claim.Port(); }
    const std::string& Device() const { return claim.Device(); }

    const PortClaim& claim;
    const uint32_t source;  // the port's messages on the runner's queue
    Phase phase = Phase::kWaiting;
    std::unique_ptr<StationLoop> loop;  // null for a refused port
    // The latest handset: being flashed or confirmed, or waited for to be taken off (its row
    // keeps its outcome until then); null before the first and once it is gone.
    std::unique_ptr<PortRun> handset;
    std::string notice;                                    // why the port cannot be used for now, while it lasts
    std::chrono::steady_clock::time_point confirmUntil{};  // kConfirming: when its wait ends
    // What its handsets came to: each recorded handset counts once.
    unsigned handsets = 0;
    unsigned done = 0;
    unsigned unconfirmed = 0;  // of the done ones: the restart not confirmed
    unsigned failed = 0;
    unsigned stopped = 0;
};

// The bench's totals: every port's counts, and the time the station has run.
struct BenchTotals {
    unsigned handsets = 0;
    unsigned done = 0;
    unsigned unconfirmed = 0;
    unsigned failed = 0;
    unsigned stopped = 0;
    double seconds = 0;
    // Records waiting for the factory's broker, where records are published.
    std::optional<std::size_t> recordsWaiting;

    // Handsets that came to an end (done or failed) per hour of the station's time.
    double PerHour() const { return seconds > 0 ? (done + failed) * 3600.0 / seconds : 0; }
};

BenchTotals TotalsOf(const std::vector<std::unique_ptr<StationPort>>& ports, double seconds);

// How a station is shown: the handsets' runs as any run view shows them, plus the ports'
// phases. The runner calls these on its own thread, in the order things happen.
class StationView : public RunView {
public:
    // The check is over; the station begins on these ports.
    virtual void BeginStation(const std::vector<std::unique_ptr<StationPort>>& ports) = 0;
    // A port's phase or notice changed (for kFlashing: its new handset is port.handset).
    virtual void PhaseChanged(const StationPort& port) = 0;
    // The station has ended: the counts per port and the bench's totals.
    virtual void FinishStation(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals) = 0;

    // The ordinary runner's beginning and end do not happen at a station.
    void Begin(const std::vector<std::unique_ptr<PortRun>>&) override {}
    void Finish(const std::vector<std::unique_ptr<PortRun>>&) override {}
};
