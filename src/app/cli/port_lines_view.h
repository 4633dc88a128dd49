// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <map>
#include <string>

#include "app/cli/cli_session.h"
#include "app/cli/progress_printer.h"
#include "app/runs/run_view.h"

// Several ports without a terminal (a log, a pipe): one line per event, prefixed with its port
// ("COM3: [0x065] ..."), progress once per tenth a port, then the summary table and the reasons.
class PortLinesView : public RunView {
public:
    explicit PortLinesView(const CliSession& session);

    void CheckProgress(unsigned percent) override;
    void Begin(const std::vector<std::unique_ptr<PortRun>>&) override {}
    void Refused(const PortRun& run) override;
    void Status(const PortRun& run, uint32_t code) override;
    void Progress(const PortRun& run, unsigned percent) override;
    void Waiting(const PortRun& run, const std::string& line) override;
    void Stopping(const PortRun& run) override;
    void Stopped(const PortRun& run) override;
    void Confirming(const PortRun& run) override;
    void Recorded(const PortRun& run) override;
    void Finish(const std::vector<std::unique_ptr<PortRun>>& runs) override;

    // A new run on the port of run begins: its progress is told from its start again.
    void Forget(const PortRun& run) { m_tenthShown.erase(&run); }
    void Line(const PortRun& run, const std::string& text) const;

private:
    const CliSession& m_session;
    ProgressPrinter m_check;
    std::map<const PortRun*, unsigned> m_tenthShown;  // the tenth each run's progress showed last
};
