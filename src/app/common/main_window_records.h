// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/common/status_lines.h"
#include "app/runs/run_records.h"
#include "engine/dl_operator.h"
#include "records/record_store.h"

// The main window's way into the record store: the store opened at the first Start, and the
// record of each run that began, written once when it ends (by its final status or a stop).
class MainWindowRecords {
public:
    // path: the store; empty: no record is kept.
    MainWindowRecords(std::string path, TextLookup text) : m_path(std::move(path)), m_text(std::move(text)) {}

    // Opens the store where it is not open yet, for the load of package in the file at
    // programPath. Empty when it is open (or none is kept), else the technician's line for it.
    std::string Open(const CDLParameter& package, const std::string& programPath);
    // A run began now on port (device); the one before it must have ended.
    void Begin(std::string port, std::string device);
    // The run that began was never started: it leaves no record.
    void Forget() { m_run.reset(); }
    // A run began whose record is not written yet.
    bool Pending() const { return m_run.has_value(); }
    // The run ended at its final status code (the handset's story under it: reason). Writes its
    // record; empty when it is in the store (or there was none to write), else the line telling
    // that it is not.
    std::string Ended(const CDLOperator& op, uint32_t code, std::string reason);
    // The run was stopped after the last status it told (0: none).
    std::string Stopped(const CDLOperator& op, uint32_t lastStatus);

private:
    std::string Write(const CDLOperator& op, RunOutcome outcome);

    std::string m_path;
    TextLookup m_text;
    std::unique_ptr<RecordStore> m_store;
    RecordOrigin m_origin;
    struct Run {
        std::string port;
        std::string device;
        platform::LocalTime startedAt;
        std::chrono::steady_clock::time_point start;
    };
    std::optional<Run> m_run;
};
