// SPDX-License-Identifier: Apache-2.0
#include "app/cli/session_runs.h"

#include <cmath>
#include <cstdio>

#include "app/common/exit_status.h"
#include "app/runs/download_runner.h"
#include "app/runs/station_runner.h"

namespace {

// The operator's two fixed messages (a worker that cannot be started or stopped).
class PrintedMessages : public IMessageSink {
public:
    explicit PrintedMessages(std::FILE* err) : m_err(err) {}
    void Show(const char* text) override {
        std::fprintf(m_err, "%s\n", text);
        std::fflush(m_err);
    }

private:
    std::FILE* m_err;
};

std::chrono::milliseconds Ms(double seconds) { return std::chrono::milliseconds(std::llround(seconds * 1000)); }

}  // namespace

RunSettings RunSettingsOf(const CliSession& session) {
    const CliArguments& args = session.Args();
    RunSettings settings;
    settings.portsFromList = args.allPorts;
    settings.singlePort = session.SinglePort();
    settings.confirm = args.confirm;
    settings.station = args.station;
    settings.confirmTimeout = Ms(args.confirmTimeoutSeconds);
    settings.goneAfter = Ms(args.goneAfterSeconds);
    settings.maxHandsets = args.maxHandsets;
    settings.extraDetectionMs = session.ExtraDetectionMs();
    return settings;
}

int ExitStatusOf(const RunsEnd& end) {
    if (end.stopped) return kExitSignal;
    if (end.recordLost) return kExitReport;
    if (end.singleRefusal) return RefusalExitStatus(*end.singleRefusal);
    return end.failed ? kExitFailed : kExitDone;
}

int RunDownloads(CliSession& session, const CDLParameter& package, RunView& view, const RunReport* report) {
    PrintedMessages messages(session.Err());
    const RunSettings settings = RunSettingsOf(session);
    return ExitStatusOf(RunPorts(settings, session.Context(), session.Claims(), view, report, package.GetLoadSize(),
                                 package.GetVersion(), [&](PortRun& run) -> std::unique_ptr<PortWorker> {
                                     return std::make_unique<OperatorWorker>(run.Port(), package, run.target, messages,
                                                                             settings.extraDetectionMs);
                                 }));
}

int RunStation(CliSession& session, const CDLParameter& package, StationView& view, const RunReport* report) {
    PrintedMessages messages(session.Err());
    StationRunner runner(RunSettingsOf(session), session.Context(), view, report, package.GetLoadSize(),
                         package.GetVersion());
    return ExitStatusOf(runner.Run(
        session.Claims(), [&](const std::string& port, platform::NotifyTarget& target) -> std::unique_ptr<PortWorker> {
            return std::make_unique<OperatorWorker>(port, package, target, messages, 0);
        }));
}
