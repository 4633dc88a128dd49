// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

#include "app/runs/port_run.h"
#include "app/runs/run_report.h"
#include "app/runs/run_settings.h"
#include "app/runs/run_view.h"

// What every runner does with one handset's run, whoever started it: takes its worker's
// messages (statuses, progress, notices) to the run and the view, samples its transfer, ends it,
// and writes its record once: the log's outcome line, the report row and the view's record.
// Runs on the runner's thread only.
class RunKeeper {
public:
    RunKeeper(const RunSettings& settings, RunContext& context, RunView& view, const RunReport* report,
              uint64_t loadSize, std::string loadVersion)
        : m_settings(settings),
          m_context(context),
          m_view(view),
          m_report(report),
          m_loadSize(loadSize),
          m_loadVersion(std::move(loadVersion)) {}

    // A message of run's worker (WM_DL_STATUS, WM_DL_PROGRESS, WM_DL_NOTICE). A final status
    // ends the run; its record follows at once unless it is the done status and a confirmation
    // of the restart comes first (confirm).
    void Take(PortRun& run, uint32_t message, uintptr_t value, bool confirm);
    // Looks at how many bytes the running run has sent (the rates are made of these looks).
    void SampleTransfer(PortRun& run);
    // The run has ended with result, now; its record is not written yet.
    void Close(PortRun& run, PortRun::Result result);
    // Writes the record of a run that has ended, once: log line, report row, the view's record.
    void Record(PortRun& run);
    // Close and Record.
    void End(PortRun& run, PortRun::Result result);

    // True once a report row or a stored record could not be written.
    bool RecordLost() const { return m_recordLost; }
    const std::string& LoadVersion() const { return m_loadVersion; }
    uint64_t LoadSize() const { return m_loadSize; }

private:
    void OnStatus(PortRun& run, uint32_t code, bool confirm);
    // Puts the record of a run that has ended into the record store, once (where there is one).
    void Store(PortRun& run);

    const RunSettings& m_settings;
    RunContext& m_context;
    RunView& m_view;
    const RunReport* m_report;
    uint64_t m_loadSize;
    std::string m_loadVersion;
    bool m_recordLost = false;
};
