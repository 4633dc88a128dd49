// SPDX-License-Identifier: Apache-2.0
// The headless runner with the ports' downloads played by the test: how runs end, what the JSON
// summary and the report row say of them, and the exit status.
#include <filesystem>
#include <map>

#include "app/cli/json_events_view.h"
#include "app/cli/session_runs.h"
#include "app/common/exit_status.h"
#include "app/runs/download_runner.h"
#include "bench_fixture.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/stop_signals.h"
#include "platform/window_messages.h"

namespace {

using Steps = std::vector<uint32_t>;
using Maker = std::function<std::unique_ptr<PortWorker>(PortRun&)>;
const Steps kDone = {STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE};

Maker Script(Steps steps, bool ends = true, RunFailure failure = {}) {
    return [=](PortRun& run) {
        auto worker = std::make_unique<ScriptedWorker>(run, steps, ends);
        worker->failure = failure;
        return worker;
    };
}

class RunnerTest : public BenchFixture {
protected:
    // Runs the claims, each port's worker from workers, with the JSON view and a report file.
    int Run(CliArguments args, const std::map<std::string, Maker>& workers) {
        args.json = true;
        CliSession& session = Session(args);
        JsonEventsView view(session);
        RunReport report(folder.File("report.csv"), "VX12.01", [this](unsigned id) { return Text(id); });
        EXPECT_EQ(report.Check(), 0);
        if (beforeRun) beforeRun();
        return ExitStatusOf(RunPorts(RunSettingsOf(session), session.Context(), claims, view, &report, 1000, "VX12.01",
                                     [&](PortRun& run) { return workers.at(run.Port())(run); }));
    }
    // The JSON summary of port ("result code"), and its latest report row as "code text".
    std::string Summary(const std::string& port) const {
        for (const std::string& line : LinesOf(Output())) {
            if (line.find("\"summary\",\"port\":\"" + port + "\"") == std::string::npos) continue;
            const size_t result = line.find("\"result\":\"") + 10, code = line.find("\"code\":") + 7;
            return line.substr(result, line.find('"', result) - result) + " " +
                   line.substr(code, line.find(',', code) - code);
        }
        return "none";
    }
    std::string Row(const std::string& port) const {
        std::string row = "none";
        for (const std::string& line : LinesOf(ReadWholeFile(folder.File("report.csv")))) {
            const auto fields = CsvFields(line);
            if (fields.size() == 14 && fields[2] == port) row = fields[6] + " " + fields[7];
        }
        return row;
    }
    std::function<void()> beforeRun;
};

TEST_F(RunnerTest, AFinalStatusPostedJustAsTheWorkerEndsIsNotLost) {
    Claim("COM5");
    // The worker posts its final status and ends exactly between the runner's looks: when it is
    // asked whether it still runs, its queue has just been found empty.
    auto racing = [](PortRun& run) {
        auto worker = std::make_unique<ScriptedWorker>(run, Steps(kDone.begin(), kDone.end() - 1), false);
        worker->atFirstLook = [](const ScriptedWorker& w) {
            w.Post(WM_DL_STATUS, STATUS_DONE);
            w.running = false;
        };
        return worker;
    };
    EXPECT_EQ(Run({}, {{"COM5", racing}}), kExitDone) << Errors();
    EXPECT_EQ(Summary("COM5"), "done \"0x065\"");
    EXPECT_EQ(Row("COM5"), "0x065 " + Text(lang::IDS_DONE));
    // A worker that ends with no final status at all is a failure.
    EXPECT_EQ(Run({}, {{"COM5", Script({STATUS_STARTED})}}), kExitFailed);
    EXPECT_EQ(Summary("COM5"), "failed \"0x001\"");
}

TEST_F(RunnerTest, ExitStatusFollowsEveryPortsOutcome) {
    RunFailure noAnswer;
    noAnswer.port = {PortFailure::Kind::kNoAnswer, 0, "/dev/ttyBENCH1", 0, ""};
    const Maker empty = Script({STATUS_STARTED, STATUS_ERR_PORT}, true, noAnswer);
    CliArguments all;
    all.allPorts = true;
    Claim("COM5");
    Claim("COM6");
    // --all-ports: a port where no handset answers is empty and fails nothing by itself...
    EXPECT_EQ(Run(all, {{"COM5", Script(kDone)}, {"COM6", empty}}), kExitDone) << Errors();
    EXPECT_EQ(Summary("COM6"), "empty \"0xF01\"");
    EXPECT_EQ(Row("COM6").rfind("0xF01 " + Text(lang::IDS_ERR_PORT) + " No handset answers on COM6", 0), 0u);
    // ...but nothing done anywhere is no success; and a port named with --port must have a handset.
    EXPECT_EQ(Run(all, {{"COM5", empty}, {"COM6", empty}}), kExitFailed);
    EXPECT_EQ(Run({}, {{"COM5", Script(kDone)}, {"COM6", empty}}), kExitFailed);
    EXPECT_EQ(Summary("COM6"), "failed \"0xF01\"");
    EXPECT_EQ(Run({}, {{"COM5", Script(kDone)}, {"COM6", Script(kDone)}}), kExitDone);

    // A row that cannot be written leaves the record incomplete: its own status, done or not.
    beforeRun = [this] {
        std::filesystem::remove(folder.File("report.csv"));
        std::filesystem::create_directory(folder.File("report.csv"));
    };
    EXPECT_EQ(Run({}, {{"COM5", Script(kDone)}, {"COM6", Script(kDone)}}), kExitReport);
    EXPECT_NE(Errors().find("vexlor: the report row of COM5 is lost: cannot write the report file " +
                            folder.File("report.csv") + ": it is not a regular file"),
              std::string::npos)
        << Errors();
    EXPECT_EQ(Summary("COM5"), "done \"0x065\"");
}

TEST_F(RunnerTest, AStoppedRunIsTheSameOutcomeInJsonAndReport) {
    Claim("COM5");
    Claim("COM6");
    // COM5 checks the version when the stop signal comes; COM6 was done before it.
    auto stopped = [this](PortRun& run) {
        auto worker = std::make_unique<ScriptedWorker>(run, Steps(kDone.begin(), kDone.end() - 1), false);
        worker->atFirstLook = [this](const ScriptedWorker&) { queue.Post(platform::StopSignalWatch::MESSAGE, 2); };
        return worker;
    };
    EXPECT_EQ(Run({}, {{"COM5", stopped}, {"COM6", Script(kDone)}}), kExitSignal);
    EXPECT_EQ(Summary("COM5"), "stopped \"0x060\"");
    EXPECT_EQ(Row("COM5"), "0x060 " + Text(lang::IDS_STOPPED));
    EXPECT_EQ(Summary("COM6"), "done \"0x065\"");
}

}  // namespace
