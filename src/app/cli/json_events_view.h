// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/cli/cli_session.h"
#include "app/runs/station_port.h"

// --json: one JSON object per line for each event, for a factory system to read. Every object
// has "time" (ISO 8601, local, with its offset) and "event"; a run's events also "port" and
// "device". The events and their further fields:
//   check     "percent"                                   the start-up package check, per tenth
//   refused   "reason"                                    a port that was not run
//   status    "code" ("0x065"), "text", "final", "reason" (final, when the tool knows why)
//   progress  "percent", "bytes", "rate" (bytes a second)
//   stopped   "bytes"                                     a run stopped by a signal
//   summary   "result" (done, failed, empty, stopped, refused), "code" (null when none),
//             "seconds", "bytes", "rate"; one per port, after every run has ended. result and
//             code are those of the summary table and the report row (run_outcome.h)
//   confirming "timeout" (seconds)                        done: its restart is waited for
//   handset   the record of one handset, when its run (and confirmation) is over: "sequence",
//             "result" (done, failed, stopped, empty), "code", "reason" (null when none),
//             "confirmed" (true, false, null where not asked), "mode_after" and "platform" (as
//             the restarted handset answered; null when it did not), "handset_version",
//             "load_version" (null when not known), "started", "ended", "seconds", "bytes"
// A station's further events:
//   phase     "phase" (waiting, flashing, confirming, remove, ended, refused), "sequence" (the
//             port's handset, null while none), "reason" (why the port cannot be used for now)
//   station   one per port at the end: "handsets", "done", "unconfirmed", "failed", "stopped"
//   bench     at the very end: the same totals, "seconds" and "per_hour"
// "rate" of a progress event is payload bytes a second over the block phase so far.
class JsonEventsView : public StationView {
public:
    explicit JsonEventsView(const CliSession& session) : m_session(session) {}
    // The load's version for the handsets' records, once the package is checked.
    void SetLoadVersion(std::string version) { m_loadVersion = std::move(version); }

    void CheckProgress(unsigned percent) override;
    void Begin(const std::vector<std::unique_ptr<PortRun>>&) override {}
    void Refused(const PortRun& run) override;
    void Status(const PortRun& run, uint32_t code) override;
    void Progress(const PortRun& run, unsigned percent) override;
    void Waiting(const PortRun& run, const std::string& line) override;
    void Stopped(const PortRun& run) override;
    void Confirming(const PortRun& run) override;
    void Recorded(const PortRun& run) override;
    void Finish(const std::vector<std::unique_ptr<PortRun>>& runs) override;

    void BeginStation(const std::vector<std::unique_ptr<StationPort>>&) override {}
    void PhaseChanged(const StationPort& port) override;
    void FinishStation(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals) override;

private:
    // {"time":...,"event":...[,"port":...,"device":...] followed by fields (each ",\"name\":value").
    void Emit(const char* event, const PortRun* run, const std::string& fields) const;
    // The same for a port of a station.
    void EmitPort(const char* event, const StationPort& port, const std::string& fields) const;

    const CliSession& m_session;
    std::string m_loadVersion;
    int m_checkTenth = -1;
};

// text as a JSON string, quotes included: control characters as \u escapes, UTF-8 kept, and
// every byte that is not UTF-8 replaced by U+FFFD, so the output is always valid UTF-8.
std::string JsonString(const std::string& text);
