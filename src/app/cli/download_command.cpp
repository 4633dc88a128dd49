// SPDX-License-Identifier: Apache-2.0
#include "app/cli/download_command.h"

#include <memory>
#include <string>
#include <thread>

#include "app/cli/cli_session.h"
#include "app/cli/download_runner.h"
#include "app/cli/exit_status.h"
#include "app/cli/json_events_view.h"
#include "app/cli/port_lines_view.h"
#include "app/cli/port_rows_view.h"
#include "app/cli/run_report.h"
#include "app/cli/side_thread.h"
#include "app/cli/single_run_view.h"
#include "app/cli/station_lines_view.h"
#include "app/cli/station_rows_view.h"
#include "app/common/package_problem.h"
#include "engine/dl_operator.h"
#include "lang/string_ids.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"
#include "platform/stop_signals.h"
#include "platform/sys_error.h"
#include "platform/window_messages.h"

namespace {

constexpr uint32_t kCheckFinished = 0x7F02;  // posted by the package-check thread at its end
constexpr std::chrono::milliseconds kPoll{100};

std::unique_ptr<StationView> StationViewFor(const CliSession& session) {
    if (session.Args().json) return std::make_unique<JsonEventsView>(session);
    if (session.Terminal()) return std::make_unique<StationRowsView>(session);
    return std::make_unique<StationLinesView>(session);
}

std::unique_ptr<RunView> ViewFor(const CliSession& session) {
    if (session.Args().station) return StationViewFor(session);
    if (session.Args().json) return std::make_unique<JsonEventsView>(session);
    if (session.SinglePort()) return std::make_unique<SingleRunView>(session);
    if (session.Terminal()) return std::make_unique<PortRowsView>(session);
    return std::make_unique<PortLinesView>(session);
}

// The package check, once for every port, on a thread of its own while this one shows its
// progress. A signal cannot cut the check short (it reads a local file, so it ends soon); it is
// remembered instead.
int32_t CheckPackage(CliSession& session, platform::ReadOnlyFile& program, CDLParameter& parameters, RunView& view,
                     bool& interrupted) {
    program.Open(platform::ProgramPath());  // a failure shows as a failed check
    CDLOperator checker;
    checker.SetNotifyTarget(&session.Queue());
    int32_t result = 0;
    auto check = [&] {
        result = checker.SetLoad(program.IsOpen() ? &program : nullptr);
        session.Queue().Post(kCheckFinished, 0);
    };
    std::thread thread = StartBeside(check);
    MessageQueue::Message message;
    for (;;) {
        if (!session.Queue().WaitFor(message, kPoll)) continue;
        if (message.message == kCheckFinished) break;
        if (message.message == WM_DL_PROGRESS) view.CheckProgress(static_cast<unsigned>(message.wParam));
        if (message.message == platform::StopSignalWatch::MESSAGE) interrupted = true;
    }
    if (thread.joinable()) thread.join();
    parameters = checker.Parameters();
    return result;
}

}  // namespace

int RunDownloadCommand(CliSession& session) {
    const std::unique_ptr<RunView> view = ViewFor(session);
    // The station's view is one of StationViewFor's.
    StationView* stationView = session.Args().station ? static_cast<StationView*>(view.get()) : nullptr;
    JsonEventsView* json = session.Args().json ? static_cast<JsonEventsView*>(view.get()) : nullptr;
    CDLParameter package;
    bool interrupted = false;
    platform::ReadOnlyFile program;
    const int32_t loaded = CheckPackage(session, program, package, *view, interrupted);
    if (interrupted) return kExitSignal;
    if (loaded < 0) {
        const bool none = CarriesNoPackage(loaded, program);
        std::fprintf(session.Err(), "%s\n", PackageCheckMessage(none, session.Text()).c_str());
        if (!none)
            std::fprintf(session.Err(), "vexlor: this program file is damaged (a broken copy?): copy it again.\n");
        return kExitPackage;
    }
    if (json) json->SetLoadVersion(package.GetVersion());
    std::unique_ptr<RunReport> report;
    if (session.Args().reportFile) {
        report = std::make_unique<RunReport>(*session.Args().reportFile, package.GetVersion(), session.Text());
        if (const int error = report->Check(); error != 0) {
            std::fprintf(session.Err(), "vexlor: %s\n", report->Problem(error).c_str());
            return kExitReport;
        }
        report->TellLeftOut(session.Err());
    }
    if (stationView) return RunStation(session, package, *stationView, report.get());
    return RunDownloads(session, package, *view, report.get());
}
