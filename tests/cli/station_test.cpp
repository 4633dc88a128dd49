// SPDX-License-Identifier: Apache-2.0
// A station in this process: the real runner, loops, probes and download operators against the
// simulated handsets of a bench on in-process lines (each port's looks and downloads share its
// line, as they share the cable). What the records say, what the ports went through, and that a
// handset left on the cable is not flashed again.
#include <gtest/gtest.h>

#include <map>

#include "app/cli/json_events_view.h"
#include "app/cli/session_runs.h"
#include "app/common/exit_status.h"
#include "app/runs/station_runner.h"
#include "bench_fixture.h"
#include "engine/dl_operator.h"
#include "model_line.h"
#include "packed_load.h"
#include "platform/read_only_file.h"
#include "platform/stop_signals.h"
#include "shared_line.h"

namespace {

// The operator's fixed messages, kept.
class KeptMessages : public IMessageSink {
public:
    void Show(const char* text) override { shown += std::string(text) + "\n"; }
    std::string shown;
};

class StationTest : public BenchFixture {
protected:
    void SetUp() override {
        BenchFixture::SetUp();
        load = TestLoad(0x8200);
        ASSERT_EQ(PackLoadIntoProgram(folder.Path(), load, "VX12.01", Packed()), "");
        platform::ReadOnlyFile file;
        ASSERT_TRUE(file.Open(Packed()));
        CDLOperator checker;
        ASSERT_EQ(checker.SetLoad(&file), 1);
        package = checker.Parameters();
    }
    std::string Packed() const { return folder.File("vexlor-packed"); }
    // The bench's handsets on port, as the simulator's options describe them.
    void Bench(const std::string& port, const std::vector<std::string>& args) {
        SimOptions options;
        ASSERT_EQ(ParseSimOptions(args, options), "");
        lines[port] = std::make_shared<ModelLine>(options);
        Claim(port);
    }
    // Runs the station to its end; between steps, whenever the output holds one of the texts,
    // its action runs once.
    int Run(CliArguments args, std::map<std::string, std::function<void()>> when = {}) {
        args.station = true;
        args.json = true;
        CliSession& session = Session(args);
        JsonEventsView view(session);
        view.SetLoadVersion("VX12.01");
        RunReport report(folder.File("report.csv"), "VX12.01", [this](unsigned id) { return Text(id); });
        StationRunner runner(RunSettingsOf(session), session.Context(), view, &report, load.size(), "VX12.01");
        runner.Start(
            claims,
            [&](const std::string& port, platform::NotifyTarget& target) -> std::unique_ptr<PortWorker> {
                return std::make_unique<OperatorWorker>(port, package, target, messages, 0,
                                                        std::make_unique<SharedLine>(lines.at(port)), Packed());
            },
            [&](const std::string& port) { return std::make_unique<SharedLine>(lines.at(port)); });
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (runner.Step(std::chrono::milliseconds(50)) && std::chrono::steady_clock::now() < limit) {
            for (auto it = when.begin(); it != when.end();) {
                if (Output().find(it->first) == std::string::npos) {
                    ++it;
                    continue;
                }
                it->second();
                it = when.erase(it);
            }
        }
        runner.Finish();
        EXPECT_EQ(messages.shown, "");
        return ExitStatusOf(runner.End());
    }
    // The JSON events of an event kind and port, each as the values of the given fields.
    std::vector<std::string> Events(const std::string& event, const std::string& port,
                                    const std::vector<std::string>& fields) const {
        std::vector<std::string> found;
        for (const std::string& line : LinesOf(Output())) {
            if (line.find("\"event\":\"" + event + "\",\"port\":\"" + port + "\"") == std::string::npos) continue;
            std::string values;
            for (const std::string& field : fields) {
                const size_t at = line.find("\"" + field + "\":");
                if (at == std::string::npos) continue;
                const size_t start = at + field.size() + 3;
                values += (values.empty() ? "" : " ") + line.substr(start, line.find_first_of(",}", start) - start);
            }
            found.push_back(values);
        }
        return found;
    }
    static int Count(const std::string& text, const std::string& needle) {
        int count = 0;
        for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
        return count;
    }

    std::vector<uint8_t> load;
    CDLParameter package;
    KeptMessages messages;
    std::map<std::string, std::shared_ptr<ModelLine>> lines;
};

CliArguments Quick() {
    CliArguments args;
    args.confirmTimeoutSeconds = 2;
    args.goneAfterSeconds = 0.5;
    return args;
}

TEST_F(StationTest, EveryHandsetIsRecordedOnceAndOneLeftOnTheCableIsNotFlashedAgain) {
    // COM5: a handset that restarts and is taken off, then one that refuses the NAND write. COM6:
    // one that restarts in diagnostic mode and is left on the cable, behind a port another
    // program holds at first.
    Bench("COM5", {"--restart-after", "300", "--unplug-after", "400", "--swap-time", "1500", "--then",
                   "--fail-nand --unplug-after 600"});
    Bench("COM6", {"--platform", "MARLET12", "--restart-after", "300", "--restart-mode", "diag"});
    lines.at("COM6")->HoldElsewhere(true);
    CliArguments args = Quick();
    args.maxHandsets = 3;
    const int status = Run(args, {{"is in use by another program; waiting for it to let go",
                                   [this] { lines.at("COM6")->HoldElsewhere(false); }}});
    EXPECT_EQ(status, kExitFailed) << Output();

    // One record each, in JSON and in the report, told the same.
    const std::vector<std::string> fields = {"sequence", "result", "code", "confirmed", "mode_after", "platform"};
    EXPECT_EQ(Events("handset", "COM5", fields), (std::vector<std::string>{"1 \"done\" \"0x065\" true \"ds\" null",
                                                                           "2 \"failed\" \"0xF64\" null null null"}))
        << Output();
    EXPECT_EQ(Events("handset", "COM6", fields),
              (std::vector<std::string>{"1 \"done\" \"0x065\" true \"diag\" \"MARLET12\""}));
    std::multimap<std::string, std::string> rows;
    for (const std::string& line : LinesOf(ReadWholeFile(folder.File("report.csv")))) {
        const auto cells = CsvFields(line);
        ASSERT_EQ(cells.size(), 14u) << line;
        if (cells[2] != "port") rows.emplace(cells[2], cells[10] + " " + cells[6] + " " + cells[11] + " " + cells[12]);
    }
    EXPECT_EQ(rows, (std::multimap<std::string, std::string>{
                        {"COM5", "1 0x065 true "}, {"COM5", "2 0xF64  "}, {"COM6", "1 0x065 true MARLET12"}}));

    // What the ports went through: COM6 told once that it was held, then its handset flashed and
    // waited for to be taken off; COM5 twice round, the failed handset waited for too.
    // (The station ends with the third record: whether COM5 began the wait for its failed
    // handset's removal by then is a matter of moments.)
    auto com5 = Events("phase", "COM5", {"phase", "sequence"});
    std::erase(com5, "\"remove\" 2");
    EXPECT_EQ(com5, (std::vector<std::string>{"\"waiting\" null", "\"flashing\" 1", "\"remove\" 1", "\"waiting\" null",
                                              "\"flashing\" 2", "\"ended\" 2"}));
    const auto com6 = Events("phase", "COM6", {"phase", "sequence"});
    EXPECT_EQ(std::count(com6.begin(), com6.end(), "\"flashing\" 1"), 1) << Output();
    EXPECT_EQ(Count(Output(), "is in use by another program; waiting for it to let go"), 1);
    EXPECT_EQ(Events("station", "COM5", {"handsets", "done", "failed"}), std::vector<std::string>{"2 1 1"});

    // COM6's handset answered every look while COM5 went round twice: flashed once only.
    EXPECT_EQ(Count(lines.at("COM6")->NotesText(), "start of download"), 1) << lines.at("COM6")->NotesText();
    EXPECT_EQ(Count(lines.at("COM5")->NotesText(), "start of download"), 2);
    std::string why;
    EXPECT_TRUE(ImageMatchesLoad(lines.at("COM6")->Image(), load, &why)) << why;
}

TEST_F(StationTest, ARestartNotSeenIsAWarningAndEndingMidwayStopsTheHandsetInFlight) {
    // A handset that never restarts (done, restart not confirmed), then, once the station has
    // given up on it, one the station ends on while it commits the load (which takes a second).
    Bench("COM5",
          {"--restart-after", "never", "--unplug-after", "600", "--swap-time", "2000", "--then", "--commit-time 1000"});
    CliArguments args = Quick();
    args.confirmTimeoutSeconds = 1;
    const int status =
        Run(args,
            {{"\"phase\":\"flashing\",\"sequence\":2", [this] { queue.Post(platform::StopSignalWatch::MESSAGE, 2); }}});
    EXPECT_EQ(status, kExitSignal);
    EXPECT_EQ(Events("handset", "COM5", {"sequence", "result", "confirmed"}),
              (std::vector<std::string>{"1 \"done\" false", "2 \"stopped\" null"}))
        << Output();
    EXPECT_EQ(Count(Output(), "\"reason\":\"Done, restart not confirmed: the handset did not answer again.\""), 1);
    EXPECT_EQ(Events("station", "COM5", {"handsets", "done", "unconfirmed", "failed", "stopped"}),
              std::vector<std::string>{"2 1 1 0 1"});
    EXPECT_EQ(Count(Output(), "\"event\":\"bench\",\"handsets\":2,\"done\":1,\"unconfirmed\":1"), 1);
}

}  // namespace
