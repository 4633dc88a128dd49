// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/cli/cli_arguments.h"
#include "app/common/resource_library.h"
#include "app/common/status_lines.h"
#include "app/runs/message_queue.h"
#include "app/runs/port_claim.h"
#include "app/runs/run_settings.h"
#include "app/runs/station_port.h"
#include "records/delivery_worker.h"
#include "records/record_store.h"

// The start-up that every headless task on ports shares, in order: the settings file must be
// readable (settings_report.h), the log opens (with the command line's overrides; a log that was
// asked for and cannot be written is told), the language library loads, and
// each port asked for is claimed: resolved through the port map (waited for with --wait), and
// guarded against other runs. Each step that fails says why on the error stream; a port that
// cannot be claimed is refused on its own and the others go on.
class CliSession {
public:
    CliSession(const CliArguments& args, std::FILE* out, std::FILE* err, MessageQueue& queue);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // The steps above: kExitDone when they passed, else the exit status (the reason printed).
    // With one port asked for, its refusal ends the start with its own status (3, 4 or 8), unless
    // --json or --report want it recorded (the run then tells it and ends with that status); with
    // several, refused ports are only marked, and the start fails only when a shared step does.
    int Start();

    const CliArguments& Args() const { return m_args; }
    std::FILE* Out() const { return m_out; }
    std::FILE* Err() const { return m_err; }
    bool Terminal() const { return m_terminal; }
    MessageQueue& Queue() { return m_queue; }
    // What the runs need of the session: its queue, its texts, its error stream for warnings.
    RunContext& Context() { return m_context; }
    // The ports asked for, in order, claimed or refused.
    const std::vector<std::unique_ptr<PortClaim>>& Claims() const { return m_claims; }
    // True for one port asked by one --port: the output is that of a single run.
    bool SinglePort() const { return !m_args.allPorts && m_args.ports.size() == 1; }
    // The port of a single run as COMn.
    const std::string& Port() const { return m_claims.front()->Port(); }
    // The record store the runs write to; null with --no-records.
    RecordStore* Records() const { return m_records.get(); }
    // The delivery of the stored records to the broker; null where none is named.
    RecordDelivery* Delivery() const { return m_delivery.get(); }
    // Gives the delivery a few seconds to send what the runs stored (none when stopped), ends
    // it, and tells what still waits and why (session_delivery.cpp).
    void EndDelivery(bool stopped);
    // Library texts by string ID.
    const TextLookup& Text() const { return m_text; }
    // Takes texts from lookup instead of the language library (a test's stand-in).
    void UseTexts(TextLookup lookup) { m_text = std::move(lookup); }
    // Milliseconds a run may wait for the handset to answer beyond the usual detection (what
    // --wait leaves after the ports appeared); 0 without --wait.
    int ExtraDetectionMs() const { return m_extraDetectionMs; }

    // Prints a line on the output stream (and flushes, so a pipe sees it at once).
    void Print(const std::string& line) const;
    // Writes text as it is, flushed. Once the output is a pipe whose reader has gone (EPIPE),
    // nothing more is written: the runs go on and their records are kept.
    void Write(const std::string& text) const;
    // True once the output's reader has gone.
    bool OutputGone() const { return m_outputGone; }

private:
    int LoadLanguage();
    // Opens the record store of a download (where records are not off).
    int OpenRecords();
    // Starts sending the store's records where a broker is named (session_delivery.cpp).
    int StartDelivery();
    // Claims every port asked for; kExitSignal when a stop signal came while waiting.
    int ClaimPorts();

    const CliArguments& m_args;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_terminal;
    MessageQueue& m_queue;
    std::vector<std::unique_ptr<PortClaim>> m_claims;
    CResourceLibrary m_language;
    TextLookup m_text;
    bool m_logOpen = false;
    mutable bool m_outputGone = false;
    int m_extraDetectionMs = 0;
    RunContext m_context;
    std::unique_ptr<RecordStore> m_records;
    std::unique_ptr<RecordDelivery> m_delivery;  // after the store: ends before it closes
    std::string m_broker;                        // its URL, for messages
};

// totals with the records still waiting for the broker, where the session publishes.
BenchTotals WithRecordsWaiting(const CliSession& session, BenchTotals totals);

// The record store's path: --records, else the system's default place.
std::string RecordStorePath(const CliArguments& args);

// The exit status of a single port's refusal: 3 held by another vexlor, 4 no lock file, 8 not in
// the port list.
int RefusalExitStatus(const PortClaim& claim);
