// SPDX-License-Identifier: Apache-2.0
#include "app/cli/download_command.h"

#include <memory>
#include <string>

#include "app/cli/cli_session.h"
#include "app/cli/json_events_view.h"
#include "app/cli/package_check.h"
#include "app/cli/port_lines_view.h"
#include "app/cli/port_rows_view.h"
#include "app/cli/session_runs.h"
#include "app/cli/single_run_view.h"
#include "app/cli/station_lines_view.h"
#include "app/cli/station_rows_view.h"
#include "app/common/exit_status.h"
#include "app/runs/load_digest.h"
#include "app/runs/run_records.h"
#include "app/runs/run_report.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"

namespace {

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

}  // namespace

int RunDownloadCommand(CliSession& session) {
    const std::unique_ptr<RunView> view = ViewFor(session);
    // The station's view is one of StationViewFor's.
    StationView* stationView = session.Args().station ? static_cast<StationView*>(view.get()) : nullptr;
    JsonEventsView* json = session.Args().json ? static_cast<JsonEventsView*>(view.get()) : nullptr;
    CDLParameter package;
    bool interrupted = false;
    platform::ReadOnlyFile program;
    // Once for every port.
    const int32_t loaded = CheckPackage(
        session, program, package, [&](unsigned percent) { view->CheckProgress(percent); }, interrupted);
    if (interrupted) return kExitSignal;
    if (loaded < 0) {
        TellPackageProblem(session, loaded, program);
        return kExitPackage;
    }
    if (json) json->SetLoadVersion(package.GetVersion());
    std::unique_ptr<RunReport> report;
    if (session.Args().reportFile) {
        report = std::make_unique<RunReport>(*session.Args().reportFile, package.GetVersion(), session.Text());
        if (session.Args().reportBom) report->SetByteOrderMark(*session.Args().reportBom);
        if (const int error = report->Check(); error != 0) {
            std::fprintf(session.Err(), "vexlor: %s\n", report->Problem(error).c_str());
            return kExitReport;
        }
        report->TellLeftOut(session.Err());
    }
    std::unique_ptr<RunRecords> records;
    if (RecordStore* store = session.Records()) {
        records = std::make_unique<RunRecords>(
            *store, ThisStation(package.GetVersion(), LoadSha256(platform::ProgramPath(), package.GetLoadSize())));
        if (RecordDelivery* delivery = session.Delivery()) records->OnStored([delivery] { delivery->Wake(); });
        session.Context().records = records.get();
    }
    // The runs end before records goes; the context must not point at it after.
    struct Unset {
        RunContext& context;
        ~Unset() { context.records = nullptr; }
    } unset{session.Context()};
    if (stationView) return RunStation(session, package, *stationView, report.get());
    return RunDownloads(session, package, *view, report.get());
}
