// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>

#include "app/cli/cli_session.h"
#include "app/cli/progress_printer.h"
#include "app/runs/run_view.h"

// One port asked by one --port: the status lines, a bar on a terminal (with the rate and the time
// left, and once every byte is sent, that the handset is committing and restarting) or a line
// per tenth otherwise, the line under a failure that says why, and the summary line at the end.
class SingleRunView : public RunView {
public:
    explicit SingleRunView(const CliSession& session);

    void CheckProgress(unsigned percent) override;
    void Begin(const std::vector<std::unique_ptr<PortRun>>& runs) override;
    void Refused(const PortRun&) override {}  // the session has said why and ended the start
    void Status(const PortRun& run, uint32_t code) override;
    void Progress(const PortRun& run, unsigned percent) override;
    void Waiting(const PortRun& run, const std::string& line) override;
    void Stopping(const PortRun& run) override;
    void Stopped(const PortRun& run) override;
    void Confirming(const PortRun& run) override;
    void Recorded(const PortRun& run) override;
    void Tick() override;
    void Finish(const std::vector<std::unique_ptr<PortRun>>&) override {}

private:
    void PrintSummary(const PortRun& run) const;

    const CliSession& m_session;
    ProgressPrinter m_check;
    std::unique_ptr<ProgressPrinter> m_download;
    const PortRun* m_run = nullptr;
    bool m_committingShown = false;
};

// "<bytes> bytes sent in <s> s, <rate> on average." in the session's language.
std::string SummaryLine(const CliSession& session, const PortRun& run);
