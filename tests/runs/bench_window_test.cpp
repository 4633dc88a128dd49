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
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "app/common/bench_settings.h"
#include "app/common/bench_tiles.h"
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
        tiles.assign(items.size(), Tile{});
        tileUpdates.assign(items.size(), 0);
    }
    void UpdateRow(size_t row, const Row& content) override {
        ASSERT_LT(row, rows.size());
        rows[row] = content;
        ++updates[row];
        seen[row].insert(content.state);
    }
    void UpdateTile(size_t row, const Tile& tile) override {
        ASSERT_LT(row, tiles.size());
        tiles[row] = tile;
        ++tileUpdates[row];
    }
    void Play(Sound sound) override { sounds.push_back(sound); }
    void SetSilent(bool on) override { silent = on; }
    void SetTimes(unsigned confirm, unsigned removal) override { times = {confirm, removal}; }
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
    std::vector<Tile> tiles;
    std::vector<int> tileUpdates;
    std::vector<Sound> sounds;
    bool silent = false;
    std::pair<unsigned, unsigned> times;
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
        options.listEvery = listEvery;
        options.settingsFile = settingsFile;
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
    std::chrono::milliseconds listEvery{0};  // the port list read at every tick
    std::string settingsFile;
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
    EXPECT_EQ(view.rows[2].state, State::kHeld);
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

// A broker named in the settings file: the records go into the store while it is away and the
// totals say how many wait for it; a URL that names no broker is told, and the bench still runs.
TEST_F(BenchWindowTest, RecordsWaitingForTheBrokerOfTheSettingsAreCountedInTheTotals) {
    const std::string settings = folder.File("settings.reg");
    const auto namingBroker = [&](const std::string& url) {
        std::string text = ReadWholeFile(settings);
        const std::string section = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n";
        const size_t at = text.find(section);
        ASSERT_NE(at, std::string::npos) << text;
        text.insert(at + section.size(), "\"publish\"=\"" + url + "\"\n");
        ASSERT_TRUE(WriteWholeFile(settings, text));
    };
    const std::string original = ReadWholeFile(settings);
    namingBroker("ftp://broker/line");
    Open(folder.File("first.db"));
    presenter->PortChecked(0, true);
    presenter->Start();
    ASSERT_TRUE(presenter->Running());
    ASSERT_EQ(view.informs.size(), 1u);
    EXPECT_NE(view.informs[0].find("ftp://broker/line"), std::string::npos) << view.informs[0];
    ASSERT_TRUE(TickUntil([this] { return !presenter->Running(); }));
    EXPECT_EQ(view.totals.find("broker"), std::string::npos) << view.totals;

    // Nothing listens on port 1: the broker is away for the whole run.
    ASSERT_TRUE(WriteWholeFile(settings, original));
    namingBroker("mqtt://127.0.0.1:1/line");
    Open(folder.File("second.db"));
    presenter->PortChecked(0, true);
    presenter->PortChecked(1, true);
    presenter->Start();
    ASSERT_TRUE(presenter->Running());
    const std::string waiting = FormatText(Text(lang::IDS_RECORDS_WAITING), "2");
    ASSERT_TRUE(TickUntil([&] { return !presenter->Running() && view.totals.find(waiting) != std::string::npos; }))
        << view.totals;
    StoreFailure failure;
    const auto records = RecordStore::Open(folder.File("second.db"), RecordStore::Mode::kRead, failure);
    ASSERT_TRUE(records) << failure.detail;
    EXPECT_EQ(records->WaitingCount(), 2u);
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

TEST_F(BenchWindowTest, TilesTellHeldDoneAndFailedPortsAndEachStartCountsFromZeroWithItsSounds) {
    // COM5 good, COM6 refuses the NAND write, COM7 held by another process from before opening.
    Bench("COM6", {"--fail-nand"});
    RunHolder holder;
    ASSERT_TRUE(holder.Hold("/dev/ttyBENCH2"));
    ASSERT_TRUE(WaitUntilHeld("COM7"));
    Open();
    // Told as soon as the list is read, before any Start: amber, its word, its icon, its holder.
    using Tile = BenchWindowView::Tile;
    EXPECT_EQ(view.rows[2].state, State::kHeld);
    EXPECT_EQ(view.tiles[2].port, "COM7");
    EXPECT_EQ(view.tiles[2].tone, Tile::Tone::kAmber);
    EXPECT_EQ(view.tiles[2].icon, Tile::Icon::kHeld);
    EXPECT_EQ(view.tiles[2].word, Text(lang::IDS_BENCH_HELD));
    EXPECT_NE(view.tiles[2].line.find("PID " + std::to_string(holder.Pid())), std::string::npos) << view.tiles[2].line;
    EXPECT_EQ(view.tiles[0].tone, Tile::Tone::kNeutral);
    EXPECT_EQ(view.totals.find(" since "), std::string::npos) << "no Start yet: " << view.totals;

    presenter->PortChecked(0, true);
    presenter->PortChecked(1, true);
    presenter->Start();
    ASSERT_TRUE(TickUntil([this] { return !presenter->Running(); }));
    EXPECT_EQ(view.tiles[0].tone, Tile::Tone::kGreen);
    EXPECT_EQ(view.tiles[0].icon, Tile::Icon::kDone);
    EXPECT_EQ(view.tiles[0].action, Text(lang::IDS_BENCH_TILE_REMOVE));
    EXPECT_EQ(view.tiles[0].esn, view.rows[0].esn);
    EXPECT_FALSE(view.tiles[0].esn.empty());
    EXPECT_EQ(view.tiles[0].counts, FormatTexts(Text(lang::IDS_BENCH_TILE_COUNTS), {"1", "0"}));
    EXPECT_EQ(view.rows[0].handset, 1u);
    EXPECT_EQ(view.tiles[1].tone, Tile::Tone::kRed);
    EXPECT_EQ(view.tiles[1].icon, Tile::Icon::kFailed);
    EXPECT_EQ(view.tiles[1].line, Text(lang::IDS_ERR_WRITE)) << "the short reason";
    EXPECT_EQ(view.tiles[1].action, Text(lang::IDS_BENCH_TILE_SWITCH_OFF));
    // Drawn only when changed: never more than the rows.
    for (size_t row = 0; row < 4; ++row) EXPECT_LE(view.tileUpdates[row], view.updates[row]);
    std::multiset<BenchWindowView::Sound> heard(view.sounds.begin(), view.sounds.end());
    EXPECT_EQ(heard,
              (std::multiset<BenchWindowView::Sound>{BenchWindowView::Sound::kDone, BenchWindowView::Sound::kFailed}));
    EXPECT_NE(view.totals.find("Done: 1   Failed: 1   "), std::string::npos) << view.totals;
    EXPECT_NE(view.totals.find(" since "), std::string::npos) << view.totals;

    // Silenced, a second Start counts from zero and plays nothing.
    presenter->SilentToggled(true);
    presenter->PortChecked(1, false);
    view.sounds.clear();
    presenter->Start();
    ASSERT_TRUE(TickUntil([this] { return !presenter->Running(); }));
    EXPECT_EQ(view.rows[0].done, 1u);
    EXPECT_EQ(view.rows[0].handset, 1u);
    EXPECT_EQ(view.totals.rfind("Done: 1   Failed: 0   ", 0), 0u) << view.totals;
    EXPECT_TRUE(view.sounds.empty());

    // Its holder gone, the port is told free at the next reading of the list.
    holder.Release();
    presenter->ReadPortsAgain();
    EXPECT_EQ(view.rows[2].state, State::kIdle);
    EXPECT_EQ(view.tiles[2].tone, Tile::Tone::kNeutral);
}

TEST_F(BenchWindowTest, ARefusedReportFileStaysAsTypedAndNoStartWritesToTheOldOne) {
    Open();
    const std::string good = folder.File("report.csv");
    presenter->ReportChosen(good);
    ASSERT_EQ(view.reportPath, good);
    const std::string before = ReadWholeFile(good);
    view.reportPath = "(untouched)";
    presenter->ReportChosen(folder.Path());  // a folder
    EXPECT_EQ(view.reportPath, "(untouched)") << "what was typed stays in the field";
    ASSERT_EQ(view.informs.size(), 1u);
    EXPECT_NE(view.informs[0].find(folder.Path()), std::string::npos) << view.informs[0];
    presenter->PortChecked(0, true);
    presenter->Start();
    EXPECT_FALSE(presenter->Running());
    ASSERT_EQ(view.informs.size(), 2u);
    EXPECT_EQ(view.informs[1], FormatText(Text(lang::IDS_BENCH_REPORT_KEPT), folder.Path()));
    EXPECT_EQ(ReadWholeFile(good), before);
    // Emptied: no report, and Start goes.
    presenter->ReportChosen("");
    presenter->StartOrStop();
    EXPECT_TRUE(presenter->Running());
    ASSERT_TRUE(TickUntil([this] { return !presenter->Running(); }));
    EXPECT_EQ(ReadWholeFile(good), before);
}

TEST_F(BenchWindowTest, SettingsAreRememberedAndTheKeyboardStartsStopsAndReadsThePortsAgain) {
    settingsFile = folder.File("user/bench.reg");
    listEvery = std::chrono::hours(1);  // read again only when asked
    Open();
    EXPECT_EQ(view.times, (std::pair<unsigned, unsigned>{2, 1}));
    presenter->PortChecked(1, true);
    presenter->PortChecked(3, true);
    presenter->StationToggled(true);
    presenter->SilentToggled(true);
    presenter->ReportChosen(folder.File("report.csv"));
    presenter->ConfirmTimeChosen(" 90 ");
    presenter->RemovalTimeChosen("7");
    for (const std::string bad : {"abc", "0", "3601", "", "-5"}) presenter->RemovalTimeChosen(bad);
    EXPECT_EQ(view.informs.size(), 5u);
    EXPECT_EQ(view.informs.back(), FormatText(Text(lang::IDS_BENCH_TIME_BAD), "3600"));
    EXPECT_EQ(view.times, (std::pair<unsigned, unsigned>{90, 7}));

    presenter.reset();
    view = RecordingView();
    Open();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"COM5", "COM6+", "COM7", "COM8+"}));
    EXPECT_TRUE(view.station);
    EXPECT_TRUE(view.silent);
    EXPECT_EQ(view.reportPath, folder.File("report.csv"));
    EXPECT_EQ(view.times, (std::pair<unsigned, unsigned>{90, 7}));
    presenter->CheckAll();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"COM5+", "COM6+", "COM7+", "COM8+"}));

    // A port plugged in comes at F5, unchecked, though every other port is.
    Bench("COM3", {});
    ListPorts({{"COM3", "/dev/ttyBENCH9"},
               {"COM5", "/dev/ttyBENCH0"},
               {"COM6", "/dev/ttyBENCH1"},
               {"COM7", "/dev/ttyBENCH2"},
               {"COM8", "/dev/ttyBENCH3"}});
    presenter->Tick();
    EXPECT_EQ(view.ports.size(), 4u) << "not before its time";
    presenter->ReadPortsAgain();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"COM3", "COM5+", "COM6+", "COM7+", "COM8+"}));

    // Space: starts; then asks before stopping, and a No keeps the station going.
    presenter->StartOrStop();
    ASSERT_TRUE(presenter->Running());
    view.answerYes = false;
    presenter->StartOrStop();
    EXPECT_TRUE(presenter->Running());
    EXPECT_EQ(view.questions, std::vector<std::string>{Text(lang::IDS_STOP_QUESTION)});
    view.answerYes = true;
    presenter->StartOrStop();
    EXPECT_FALSE(presenter->Running());
}

TEST(BenchTileLayout, OneToSixtyFourTilesFillAFullHdWindowWithoutOverlapping) {
    constexpr int kWidth = 1600, kHeight = 900, kGap = 6;
    for (size_t count = 1; count <= 64; ++count) {
        int bottom = 0;
        for (size_t i = 0; i < count; ++i) {
            const TileBox box = TileBoxOf(i, count, kWidth, kHeight, kGap);
            ASSERT_GE(box.x, kGap) << count;
            ASSERT_LE(box.x + box.width, kWidth - kGap + 1) << count;
            ASSERT_LE(box.y + box.height, kHeight - kGap + 1) << count;
            if (i > 0) {
                const TileBox before = TileBoxOf(i - 1, count, kWidth, kHeight, kGap);
                ASSERT_TRUE(box.y > before.y || box.x >= before.x + before.width) << count << " " << i;
            }
            bottom = std::max(bottom, box.y + box.height);
        }
        // The rows fill the height: no band of blank screen below the last one.
        EXPECT_GE(bottom, kHeight - 2 * kGap - 1) << count;
    }
    EXPECT_EQ(LayTiles(1, kWidth, kHeight, kGap).columns, 1);
    EXPECT_EQ(LayTiles(4, kWidth, kHeight, kGap).columns, 2);
    const TileGrid sixteen = LayTiles(16, kWidth, kHeight, kGap);
    EXPECT_EQ(sixteen.columns * sixteen.rows, 16);
    // Sixty-four tiles still give a port name of some 20 pixels (a fifth of a tile's height).
    EXPECT_GE(TileBoxOf(63, 64, kWidth, kHeight, kGap).height / 5, 20);
}

TEST_F(BenchWindowTest, RememberedSettingsThatAreDamagedOrOutOfRangeGiveTheDefaults) {
    // Times out of range, a port list with empty names, a report path with quotes; then bytes no
    // settings file holds.
    const std::string file = folder.File("bench.reg");
    std::ofstream(file) << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor\\Bench]\n"
                           "\"ConfirmSeconds\"=dword:00000000\n\"RemovalSeconds\"=dword:00100000\n"
                           "\"Checked\"=\",COM6,,COM8,\"\n\"Station\"=\"yes\"\n";
    BenchSettings read = LoadBenchSettings(file);
    EXPECT_FALSE(read.confirmSeconds);
    EXPECT_FALSE(read.removalSeconds);
    EXPECT_FALSE(read.station) << "a text where a number belongs";
    EXPECT_EQ(read.checkedPorts, (std::vector<std::string>{"COM6", "COM8"}));
    BenchSettings written;
    written.reportPath = "C:\\reports\\\"night\" shift.csv";
    written.checkedPorts = {"COM5"};
    written.silent = true;
    written.removalSeconds = 7;
    ASSERT_EQ(SaveBenchSettings(file, written), "");
    EXPECT_EQ(LoadBenchSettings(file), written);
    std::ofstream(file, std::ios::trunc) << std::string("\0\x01\xff\xfe garbage", 12);
    EXPECT_EQ(LoadBenchSettings(file), BenchSettings{});
    // A folder where the file should be: told why, nothing kept half-written.
    EXPECT_NE(SaveBenchSettings(folder.Path(), written), "");
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + ".new"));
}

}  // namespace
