// SPDX-License-Identifier: Apache-2.0
// The bench window's logic without a toolkit: a view that records what it is told to draw, the
// real station runner, its loops and download operators against simulated handsets on in-process
// lines, ticked as a window's timer ticks it. One handset per checked port with mixed outcomes,
// a port another run holds refused by name, the report's rows and the ports let go at the end;
// then a station going handset after handset until stopped, with the questions first; a report
// row that cannot be written, told at once with the system's words.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "app/common/bench_window_presenter.h"
#include "app/common/format_text.h"
#include "app/runs/run_report.h"
#include "lang/string_ids.h"
#include "packed_load.h"
#include "records/record_store.h"
#include "run_holder.h"
#include "runs_fixture.h"
#include "settings_file.h"
#include "shared_line.h"

namespace {

using Row = BenchWindowView::Row;
using State = Row::State;

// Draws nothing: keeps what the presenter asks for and answers its questions as told.
class RecordingView : public BenchWindowView {
public:
    void SetCaptions(const Captions& texts) override { captions = texts; }
    void SetPorts(const std::vector<PortItem>& items) override {
        ports = items;
        rows.assign(items.size(), Row{});
        updates.assign(items.size(), 0);
        seen.assign(items.size(), {});
    }
    void UpdateRow(size_t row, const Row& content) override {
        ASSERT_LT(row, rows.size());
        rows[row] = content;
        ++updates[row];
        seen[row].insert(content.state);
    }
    void SetTotals(const std::string& text) override { totals = text; }
    void ShowNow() override { rowsShownNow = rows; }
    void SetStation(bool on) override { station = on; }
    void SetReportPath(const std::string& path) override { reportPath = path; }
    void EnableControls(const ControlStates& states) override { controls = states; }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    void Inform(const std::string& text) override { informs.push_back(text); }

    Captions captions;
    std::vector<PortItem> ports;
    std::vector<Row> rows;
    std::vector<Row> rowsShownNow;  // the rows at the latest ShowNow
    std::vector<int> updates;
    std::vector<std::set<State>> seen;
    std::string totals, reportPath;
    bool station = false;
    ControlStates controls;
    std::vector<std::string> questions, informs;
    bool answerYes = true;
};

class BenchWindowTest : public RunsFixture {
protected:
    void SetUp() override {
        RunsFixture::SetUp();
        load = TestLoad(0x8200);
        ASSERT_EQ(PackLoadIntoProgram(folder.Path(), load, "VX12.01", folder.File("vexlor-packed")), "");
        for (int i = 5; i <= 8; ++i) Bench("COM" + std::to_string(i), {});
    }
    void TearDown() override {
        presenter.reset();
        RunsFixture::TearDown();
    }
    // The handsets on port, as the simulator's options describe them.
    void Bench(const std::string& port, const std::vector<std::string>& args) {
        SimOptions options;
        ASSERT_EQ(ParseSimOptions(args, options), "");
        lines[port] = std::make_shared<ModelLine>(options);
    }
    // The window opened behind a package check that passed (keeping its records at recordsPath).
    void Open(const std::string& recordsPath = "") {
        BenchWindowOptions options;
        options.recordsPath = recordsPath;
        options.programPath = folder.File("vexlor-packed");
        options.lineFor = [this](const std::string& port) { return std::make_unique<SharedLine>(lines.at(port)); };
        options.confirmTimeout = std::chrono::seconds(2);
        options.goneAfter = std::chrono::milliseconds(500);
        options.listEvery = std::chrono::milliseconds(0);  // the port list read at every tick
        presenter = std::make_unique<BenchWindowPresenter>(
            view, [this](unsigned id) { return Text(id); }, options);
        ASSERT_TRUE(presenter->CheckPackage(nullptr));
        ASSERT_TRUE(presenter->Open(true));
    }
    // Waits (at most ten seconds) until another process holds port's guard.
    static bool WaitUntilHeld(const std::string& port) {
        for (int look = 0; look < 500; ++look) {
            PortClaim probe(port);
            if (probe.Resolve() && probe.Guard() == PortClaim::Outcome::kHeld) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // The port list from now on: port -> device.
    void ListPorts(const std::vector<std::pair<std::string, std::string>>& ports) {
        TestSettings settings;
        settings.logLevel = -1;
        for (const auto& [port, device] : ports) settings.ports[device] = port;
        ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
    }
    std::vector<std::string> Listed() const {
        std::vector<std::string> names;
        for (const auto& item : view.ports) names.push_back(item.port + (item.checked ? "+" : ""));
        return names;
    }
    // Ticks as the window's timer does until done() holds; false when it did not within a minute.
    bool TickUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(BenchWindowPresenter::kTickMs));
            presenter->Tick();
            ++ticks;
        }
        return true;
    }

    std::vector<uint8_t> load;
    std::map<std::string, std::shared_ptr<ModelLine>> lines;
    RecordingView view;
    std::unique_ptr<BenchWindowPresenter> presenter;
    int ticks = 0;
};

TEST_F(BenchWindowTest, OneHandsetPerCheckedPortWithMixedOutcomesAndAHeldPortRefusedByName) {
    // COM5 a good handset, COM6 one that refuses the NAND write, COM7 held by another process,
    // COM8 not checked.
    Bench("COM6", {"--fail-nand"});
    RunHolder holder;
    ASSERT_TRUE(holder.Hold("/dev/ttyBENCH2"));
    ASSERT_TRUE(WaitUntilHeld("COM7"));
    Open();
    ASSERT_EQ(view.ports.size(), 4u);
    EXPECT_EQ(view.ports[0].port, "COM5");
    EXPECT_EQ(view.ports[0].device, "/dev/ttyBENCH0");
    EXPECT_EQ(view.captions.title, "Vexlor V26 Bench");
    EXPECT_EQ(view.captions.start, Text(lang::IDS_START));
    EXPECT_TRUE(view.controls.start);
    EXPECT_FALSE(view.controls.stop);

    presenter->ReportChosen(folder.File("report.csv"));
    EXPECT_EQ(view.reportPath, folder.File("report.csv"));
    for (size_t row = 0; row < 3; ++row) presenter->PortChecked(row, true);
    presenter->Start();
    ASSERT_TRUE(presenter->Running());
    EXPECT_FALSE(view.controls.start);
    EXPECT_TRUE(view.controls.stop);
    EXPECT_FALSE(view.controls.portChecks);
    ASSERT_EQ(view.informs.size(), 1u);
    EXPECT_NE(view.informs[0].find("COM7 is in use by another Vexlor run ("), std::string::npos) << view.informs[0];
    EXPECT_NE(view.informs[0].find("(flock, PID " + std::to_string(holder.Pid()) + ")"), std::string::npos)
        << view.informs[0];

    ASSERT_TRUE(TickUntil([this] { return !presenter->Running(); }));
    EXPECT_EQ(view.rows[0].state, State::kDone);
    EXPECT_EQ(view.rows[0].stateText, "done");
    EXPECT_EQ(view.rows[0].resultLine, Text(lang::IDS_DONE));
    EXPECT_EQ(view.rows[0].done, 1u);
    EXPECT_EQ(view.rows[1].state, State::kFailed);
    EXPECT_EQ(view.rows[1].failed, 1u);
    EXPECT_NE(view.rows[1].resultLine.find(Text(lang::IDS_ERR_NAND)), std::string::npos) << view.rows[1].resultLine;
    EXPECT_EQ(view.rows[1].resultDetail, Text(lang::IDS_ERR_WRITE) + "\n" + Text(lang::IDS_ERR_NAND));
    EXPECT_EQ(view.rows[2].state, State::kFailed);
    EXPECT_EQ(view.rows[2].resultLine, view.informs[0]);
    EXPECT_EQ(view.updates[3], 1) << "an unchecked port keeps its first drawing";
    // Each row is drawn at most once a tick (and once when listed).
    for (size_t row = 0; row < 3; ++row) EXPECT_LE(view.updates[row], ticks + 2);
    EXPECT_EQ(view.totals.rfind("Done: 1   Failed: 1   Handsets per hour: ", 0), 0u) << view.totals;
    EXPECT_TRUE(view.controls.start);
    EXPECT_EQ(view.informs.size(), 1u) << view.informs.back();

    holder.Release();

    // One report row per port run, the refused one too.
    std::map<std::string, std::string> codes;
    for (const std::string& line : LinesOf(ReadWholeFile(folder.File("report.csv")))) {
        const auto cells = CsvFields(line);
        ASSERT_EQ(cells.size(), 14u) << line;
        if (cells[2] != "port") codes[cells[2]] += cells[6] + "|";
    }
    EXPECT_EQ(codes, (std::map<std::string, std::string>{{"COM5", "0x065|"}, {"COM6", "0xF64|"}, {"COM7", "|"}}));

    // The ports are let go: another run may take them.
    PortClaim again("COM5");
    ASSERT_TRUE(again.Resolve());
    EXPECT_EQ(again.Guard(), PortClaim::Outcome::kClaimed);
}

TEST_F(BenchWindowTest, HandsetsRecordsGoIntoTheStoreAndAFileThatIsNoStoreKeepsTheBenchFromStarting) {
    const std::string notes = folder.File("notes.db");
    WriteWholeFile(notes, "not a record store\n");
    Open(notes);
    presenter->PortChecked(0, true);
    presenter->Start();
    EXPECT_FALSE(presenter->Running());
    ASSERT_EQ(view.informs.size(), 1u);
    EXPECT_NE(view.informs[0].find(notes), std::string::npos) << view.informs[0];
    EXPECT_EQ(ReadWholeFile(notes), "not a record store\n");

    Bench("COM6", {"--fail-nand"});
    const std::string store = folder.File("records") + "/records.db";  // its folder made at the Start
    Open(store);
    presenter->PortChecked(0, true);
    presenter->PortChecked(1, true);
    presenter->Start();
    ASSERT_TRUE(presenter->Running());
    ASSERT_TRUE(TickUntil([this] { return !presenter->Running(); }));
    StoreFailure failure;
    const auto records = RecordStore::Open(store, RecordStore::Mode::kRead, failure);
    ASSERT_TRUE(records) << failure.detail;
    std::map<std::string, std::string> results;
    records->History({}, [&](const ProductionRecord& record) {
        results[record.port] = record.result + "|" + record.code + "|" + record.loadVersion;
        EXPECT_EQ(record.loadSha256.size(), 64u);
        EXPECT_EQ(record.hash, RecordHash(record, record.prevHash));
        return true;
    });
    EXPECT_EQ(results,
              (std::map<std::string, std::string>{{"COM5", "done|0x065|VX12.01"}, {"COM6", "failed|0xF64|VX12.01"}}));
    EXPECT_EQ(records->Verify(failure).count, 2);
}

TEST_F(BenchWindowTest, AReportFileThatIsNoReportIsRefusedAndOneAnOlderVexlorBeganIsTaken) {
    Open();
    const std::string foreign = folder.File("people.csv");
    std::ofstream(foreign) << "name,age\nAnna,31\n";
    presenter->ReportChosen(foreign);
    EXPECT_NE(view.reportPath, foreign);
    ASSERT_EQ(view.informs.size(), 1u);
    EXPECT_EQ(view.informs[0], FormatTexts(Text(lang::IDS_BENCH_REPORT_NOT_OURS), {foreign}));
    EXPECT_EQ(ReadWholeFile(foreign), "name,age\nAnna,31\n");
    const std::string older = folder.File("older.csv");
    std::ofstream(older) << "start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,"
                            "seconds\n";
    presenter->ReportChosen(older);
    EXPECT_EQ(view.reportPath, older);
    EXPECT_EQ(view.informs.size(), 1u);
}

TEST_F(BenchWindowTest, AStationGoesHandsetAfterHandsetUntilStoppedAndAsksBeforeStoppingOrClosing) {
    // Two handsets in turn on COM5, each restarting and then taken off.
    Bench("COM5", {"--restart-after", "300", "--unplug-after", "400", "--swap-time", "1500", "--then",
                   "--restart-after 300 --unplug-after 400"});
    Open();
    presenter->Start();
    EXPECT_FALSE(presenter->Running());
    EXPECT_EQ(view.informs, std::vector<std::string>{Text(lang::IDS_BENCH_NONE_CHECKED)});

    presenter->StationToggled(true);
    presenter->PortChecked(0, true);
    presenter->Start();
    ASSERT_TRUE(presenter->Running());
    EXPECT_FALSE(view.controls.station);
    ASSERT_TRUE(TickUntil([this] { return view.rows[0].done == 2 && view.rows[0].state == State::kWaiting; }))
        << view.rows[0].stateText << " " << view.rows[0].resultLine << " done " << view.rows[0].done;
    EXPECT_TRUE(view.seen[0].count(State::kFlashing));
    EXPECT_TRUE(view.seen[0].count(State::kRemove));
    EXPECT_EQ(view.rows[0].failed, 0u);
    // The last result stays on the row after its handset has gone.
    EXPECT_EQ(view.rows[0].resultLine, Text(lang::IDS_DONE));

    view.answerYes = false;
    EXPECT_FALSE(presenter->MayClose());
    EXPECT_EQ(view.questions, std::vector<std::string>{Text(lang::IDS_CLOSE_QUESTION)});
    presenter->Stop();
    EXPECT_TRUE(presenter->Running());
    EXPECT_EQ(view.questions.size(), 2u);
    view.answerYes = true;
    presenter->Stop();
    EXPECT_FALSE(presenter->Running());
    EXPECT_EQ(view.questions.back(), Text(lang::IDS_STOP_QUESTION));
    EXPECT_EQ(view.rows[0].state, State::kIdle);
    EXPECT_EQ(view.rows[0].done, 2u);
    EXPECT_TRUE(view.controls.start);
    EXPECT_TRUE(presenter->MayClose());
    EXPECT_EQ(view.questions.size(), 3u);
}

TEST_F(BenchWindowTest, AStopSaysAtOnceThatItWaitsThenShowsAndCountsTheStoppedHandset) {
    // A slow line (the load's one block takes some 34 s, scaled): the stop comes in that block.
    Bench("COM5", {"--throttle", "9600"});
    Open();
    presenter->PortChecked(0, true);
    presenter->Start();
    ASSERT_TRUE(TickUntil([this] { return view.rows[0].state == State::kFlashing && view.rows[0].showProgress; }));
    presenter->Stop();
    EXPECT_FALSE(presenter->Running());
    // Painted before the wait for the handset: the row said it was stopping, and how.
    ASSERT_EQ(view.rowsShownNow.size(), view.rows.size());
    const Row& stopping = view.rowsShownNow[0];
    EXPECT_EQ(stopping.state, State::kStopping);
    EXPECT_EQ(stopping.stateText, Text(lang::IDS_STOPPING));
    const std::string block = Text(lang::IDS_STOPPING_BLOCK);
    EXPECT_TRUE(stopping.resultLine == Text(lang::IDS_STOPPING) ||
                stopping.resultLine.rfind(block.substr(0, block.find("%s")), 0) == 0)
        << stopping.resultLine;
    // Then stopped, with what to do, and counted with the failed ones in the row and the totals.
    EXPECT_EQ(view.rows[0].state, State::kStopped);
    EXPECT_EQ(view.rows[0].stateText, "stopped");
    EXPECT_EQ(view.rows[0].resultLine, Text(lang::IDS_STOPPED) + " " + Text(lang::IDS_STOPPED_ADVICE));
    EXPECT_EQ(view.rows[0].failed, 1u);
    EXPECT_EQ(view.totals.rfind("Done: 0   Failed: 1   ", 0), 0u) << view.totals;
}

TEST_F(BenchWindowTest, PortsPluggedInOrTakenAwayAreListedAgainWhileTheRowsKeepTheirPortsAndCounts) {
    Bench("COM3", {});
    Open();
    presenter->PortChecked(1, true);  // COM6
    // COM8 taken away and COM3 plugged in, ahead of the others: COM6 keeps its check. A name
    // the settings give twice is listed once, with its first device.
    ListPorts({{"COM3", "/dev/ttyBENCH9"},
               {"COM5", "/dev/ttyBENCH0"},
               {"COM6", "/dev/ttyBENCH1"},
               {"COM7", "/dev/ttyBENCH2"},
               {"COM3", "/dev/ttyBENCHA"}});
    presenter->Tick();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"COM3", "COM5", "COM6+", "COM7"}));
    EXPECT_EQ(view.ports[0].device, "/dev/ttyBENCH9");
    EXPECT_EQ(view.rows[0].state, State::kIdle);
    EXPECT_TRUE(view.controls.portChecks);
    const int drawn = view.updates[1];
    presenter->Tick();
    EXPECT_EQ(view.updates[1], drawn) << "an unchanged list is not drawn again";

    // While COM6 flashes, COM5 goes from the list and COM4 comes.
    presenter->Start();
    ASSERT_TRUE(presenter->Running());
    ListPorts({{"COM3", "/dev/ttyBENCH9"},
               {"COM4", "/dev/ttyBENCH8"},
               {"COM6", "/dev/ttyBENCH1"},
               {"COM7", "/dev/ttyBENCH2"}});
    presenter->Tick();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"COM3", "COM4", "COM6+", "COM7"}));
    EXPECT_FALSE(view.controls.portChecks);
    ASSERT_TRUE(TickUntil([this] { return !presenter->Running(); }));
    EXPECT_EQ(view.rows[2].state, State::kDone) << view.rows[2].resultLine;
    EXPECT_EQ(view.rows[2].done, 1u);
    // Taken away once the bench has ended, COM6 keeps its row for its count; COM7 goes.
    ListPorts({{"COM3", "/dev/ttyBENCH9"}, {"COM4", "/dev/ttyBENCH8"}});
    presenter->Tick();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"COM3", "COM4", "COM6+"}));
    EXPECT_EQ(view.rows[2].done, 1u);
    EXPECT_TRUE(view.controls.portChecks);
}

TEST_F(BenchWindowTest, AReportRowThatCannotBeWrittenIsToldAtOnceOnItsRowAndUnderTheTable) {
    Bench("COM5", {"--restart-after", "300"});
    Open();
    const std::string report = folder.File("report.csv");
    presenter->ReportChosen(report);
    ASSERT_EQ(view.reportPath, report);
    // A file size limit at the header's end: the handset's row cannot be added, as on a full disk.
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limit = before;
    limit.rlim_cur = ReadWholeFile(report).size();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    presenter->StationToggled(true);
    presenter->PortChecked(0, true);
    presenter->Start();
    const std::string lost = "The report row of the handset on COM5 was not written to " + report + ": File too large.";
    const bool told = TickUntil([&] { return view.totals.find(lost) != std::string::npos; });
    setrlimit(RLIMIT_FSIZE, &before);
    ASSERT_TRUE(told) << view.totals;
    EXPECT_TRUE(presenter->Running()) << "told while the station goes on";
    EXPECT_EQ(view.rows[0].resultLine, lost);
    EXPECT_EQ(view.rows[0].resultDetail, Text(lang::IDS_DONE) + "\n" + lost);
    EXPECT_EQ(view.totals.rfind("Done: 1   Failed: 0   Handsets per hour: ", 0), 0u) << view.totals;
    // At the end, the box names the same error.
    presenter->Stop();
    ASSERT_FALSE(view.informs.empty());
    EXPECT_EQ(view.informs.back(), "The report file " + report + " cannot be written: File too large.");
    EXPECT_EQ(ReadWholeFile(report), RunReport::Header());
}

}  // namespace
