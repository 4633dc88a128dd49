// SPDX-License-Identifier: Apache-2.0
// What the views print of runs: JSON that is always UTF-8, live rows that fit the terminal, the
// summary table with the full reasons, and the single run's bar on a terminal.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <regex>

#include "app/cli/json_events_view.h"
#include "app/cli/port_rows_view.h"
#include "app/cli/single_run_view.h"
#include "app/cli/station_rows_view.h"
#include "app/cli/station_summary.h"
#include "app/cli/summary_table.h"
#include "app/common/format_text.h"
#include "app/common/language_choice.h"
#include "app/common/resource_library.h"
#include "app/common/text_columns.h"
#include "app/runs/station_text.h"
#include "bench_fixture.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/program_path.h"
#include "platform/utf8.h"
#include "settings_file.h"

namespace {

using Runs = std::vector<std::unique_ptr<PortRun>>;

// Display columns of a line (the texts here have no wide characters).
size_t Width(const std::string& line) {
    size_t columns = 0;
    for (size_t at = 0; at < line.size(); ++columns) platform::NextCodePoint(line, at);
    return columns;
}

class ViewsTest : public BenchFixture {
protected:
    std::unique_ptr<PortRun> Ended(const std::string& port, PortRun::Result result, uint32_t code,
                                   RunFailure failure = {}) {
        auto run = RunOf(Claim(port));
        run->result = result;
        run->lastStatus = code;
        run->failure = std::move(failure);
        return run;
    }
};

TEST_F(ViewsTest, JsonIsValidUtf8WhateverBytesTheDeviceAndTheVersionsHold) {
    TestSettings settings;
    settings.ports["/dev/tty\xFF\xC3"] = "COM5";  // not UTF-8, as a device name may be
    ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
    CliArguments args;
    args.json = true;
    JsonEventsView view(Session(args));
    RunFailure mismatch;
    mismatch.handsetVersion = "12";
    mismatch.loadVersion = "\xE2\x82";  // half a character
    Runs runs;
    runs.push_back(Ended("COM5", PortRun::Result::kFailed, STATUS_ERR_VERSION, mismatch));
    view.Status(*runs[0], STATUS_ERR_VERSION);
    view.Finish(runs);
    const std::vector<std::string> lines = LinesOf(Output());
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_EQ(platform::ValidUtf8(line), line);
        EXPECT_NE(line.find("\"device\":\"/dev/tty\xEF\xBF\xBD\xEF\xBF\xBD\""), std::string::npos) << line;
    }
    EXPECT_NE(lines[0].find("this firmware load is for version \xEF\xBF\xBD\xEF\xBF\xBD."), std::string::npos)
        << lines[0];
    EXPECT_EQ(JsonString("a\"\\\x01\xF0\x9F\x93\xB1"), "\"a\\\"\\\\\\u0001\xF0\x9F\x93\xB1\"");
}

TEST_F(ViewsTest, LiveRowsNeverOutnumberTheTerminalAndACutShows) {
    PortRowsView view(Session({}));
    RunFailure inUse;
    inUse.port = {PortFailure::Kind::kInUse, 16, "/dev/ttyBENCH1", 4242, "minicom"};
    Runs runs;
    runs.push_back(Ended("COM5", PortRun::Result::kDone, STATUS_DONE));
    runs.push_back(Ended("COM6", PortRun::Result::kFailed, STATUS_ERR_PORT, inUse));
    runs.push_back(RunOf(Claim("COM7"), 262144));
    runs.back()->hasProgress = true;
    runs.back()->percent = 42;
    runs.push_back(Ended("COM8", PortRun::Result::kStopped, STATUS_DIAG_READY));
    runs.push_back(Ended("COM9", PortRun::Result::kRefused, 0));
    view.Begin(runs);

    // Room for every row: each cut to one column less than the terminal, with a mark.
    const auto rows = view.Lines(60, 24);
    ASSERT_EQ(rows.size(), 5u);
    for (const std::string& row : rows) EXPECT_LE(Width(row), 59u) << row;
    EXPECT_EQ(rows[0], view.Row(*runs[0]).substr(0, 58) + "\xE2\x80\xA6");
    EXPECT_EQ(rows[2].rfind("COM7  downloading", 0), 0u) << rows[2];
    EXPECT_EQ(view.Lines(0, 0)[1], view.Row(*runs[1]));  // no size known: nothing is cut

    // More ports than lines: a count line and short cells, never more lines than the terminal's.
    for (int lines : {5, 4, 2}) {
        const auto compact = view.Lines(40, lines);
        EXPECT_LE(compact.size(), static_cast<size_t>(lines - 1)) << lines;
        EXPECT_EQ(compact[0], "5 ports: 1 running, 1 done, 1 failed, \xE2\x80\xA6") << lines;
        for (const std::string& line : compact) EXPECT_LE(Width(line), 39u) << line;
    }
    EXPECT_EQ(
        view.Lines(64, 4),
        (std::vector<std::string>{"5 ports: 1 running, 1 done, 1 failed, 1 stopped, 1 refused",
                                  "COM5 done      COM6 F01       COM7 42%       COM8 stopped   ", "COM9 refused   "}));
}

TEST_F(ViewsTest, AStationsRowsTellEachPortsStateAndCountsAndTheBenchLineStaysLast) {
    StationRowsView view(Session({}));
    std::vector<std::unique_ptr<StationPort>> ports;
    auto port = [&](const std::string& name, StationPort::Phase phase) -> StationPort& {
        ports.push_back(std::make_unique<StationPort>(Claim(name), static_cast<uint32_t>(ports.size() + 1)));
        ports.back()->phase = phase;
        return *ports.back();
    };
    port("COM5", StationPort::Phase::kWaiting).done = 2;
    StationPort& flashing = port("COM6", StationPort::Phase::kFlashing);
    flashing.handset = RunOf(Claim("COM6"), 262144);
    flashing.handset->sequence = 3;
    flashing.handset->hasProgress = true;
    flashing.handset->percent = 42;
    StationPort& failed = port("COM7", StationPort::Phase::kRemoval);
    failed.handset = Ended("COM7", PortRun::Result::kFailed, STATUS_ERR_NAND);
    failed.failed = 1;
    port("COM8", StationPort::Phase::kConfirming).handset = Ended("COM8", PortRun::Result::kDone, STATUS_DONE);
    view.BeginStation(ports);
    BenchTotals totals;
    totals.handsets = 4;
    totals.done = 3;
    totals.failed = 1;
    totals.seconds = 3600;

    const auto lines = view.Lines(0, 0, totals);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "COM5    2 done   0 failed  waiting for a handset");
    EXPECT_EQ(lines[1].rfind("COM6    0 done   0 failed  #3 downloading ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("42%"), std::string::npos) << lines[1];
    // A failed handset's row keeps its failure, in full, until it is taken off.
    EXPECT_EQ(lines[2], "COM7    0 done   1 failed  #1 failed: remove the handset  [0xF64] " +
                            Text(lang::IDS_ERR_WRITE) + " " + Text(lang::IDS_ERR_NAND));
    EXPECT_EQ(lines[3], "COM8    0 done   0 failed  #1 done: waiting for the handset to restart");
    EXPECT_EQ(lines[4], "Bench: 4 handsets in 1:00:00: 3 done, 1 failed; 4.0 handsets per hour");
    // Where records go to a broker, the line says how many still wait for it.
    totals.recordsWaiting = 7;
    EXPECT_EQ(view.Lines(0, 0, totals)[4], "Bench: 4 handsets in 1:00:00: 3 done, 1 failed; 4.0 handsets per hour; " +
                                               FormatText(Text(lang::IDS_RECORDS_WAITING), "7"));
    totals.recordsWaiting.reset();

    // More ports than lines: a short cell each, the bench line still last, within the terminal.
    const auto compact = view.Lines(40, 4, totals);
    EXPECT_EQ(compact, (std::vector<std::string>{"COM5 wait    COM6 42%     COM7 F64!    ", "COM8 restart ",
                                                 "Bench: 4 handsets in 1:00:00: 3 done, \xE2\x80\xA6"}));
}

// In Chinese, the rows, the compact cells and the tables hold no English word (port names and
// NAND aside), and a table's columns still line up with wide characters in them.
TEST_F(ViewsTest, ChineseRowsCellsAndTablesHoldNoEnglishWordAndLineUp) {
    CResourceLibrary chinese;
    ASSERT_TRUE(chinese.Load(LanguageLibraryPath(platform::ProgramFolder(), 1)));
    CliSession& session = Session({});
    session.UseTexts([&](unsigned id) { return chinese.LoadString(id); });
    std::vector<std::string> shown;

    // A station: waiting, stopping in the blocks, a mismatch to take off, stopped, refused.
    std::vector<std::unique_ptr<StationPort>> ports;
    auto port = [&](const std::string& name, StationPort::Phase phase) -> StationPort& {
        ports.push_back(std::make_unique<StationPort>(Claim(name), static_cast<uint32_t>(ports.size() + 1)));
        ports.back()->phase = phase;
        return *ports.back();
    };
    port("COM5", StationPort::Phase::kWaiting).done = 12;
    StationPort& flashing = port("COM6", StationPort::Phase::kFlashing);
    flashing.handset = RunOf(Claim("COM6"), 0x80200);
    flashing.handset->stopping = StoppingLineOf(*flashing.handset, session.Text());
    RunFailure mismatch;
    mismatch.handsetVersion = "13";
    mismatch.loadVersion = "12";
    StationPort& failed = port("COM7", StationPort::Phase::kRemoval);
    failed.handset = Ended("COM7", PortRun::Result::kFailed, STATUS_ERR_VERSION, mismatch);
    port("COM8", StationPort::Phase::kEnded).handset = Ended("COM8", PortRun::Result::kStopped, STATUS_DIAG_READY);
    PortClaim& twice = Claim("COM9");
    twice.RefuseAsTwice();
    ports.push_back(std::make_unique<StationPort>(twice, 5));
    ports.back()->phase = StationPort::Phase::kRefused;
    StationRowsView station(session);
    station.BeginStation(ports);
    BenchTotals totals;
    totals.handsets = 14;
    totals.done = 12;
    totals.unconfirmed = 1;
    totals.failed = 1;
    totals.stopped = 1;
    totals.seconds = 3600;
    for (const auto& lines : {station.Lines(0, 0, totals), station.Lines(40, 4, totals)})
        shown.insert(shown.end(), lines.begin(), lines.end());
    const std::vector<std::string> summary = LinesOf(StationSummary(ports, totals, session.Text()));
    ASSERT_GE(summary.size(), 5u);
    for (size_t line = 1; line < 5; ++line) EXPECT_EQ(TextColumns(summary[line]), TextColumns(summary[0])) << line;
    shown.insert(shown.end(), summary.begin(), summary.end());

    // A bench of ports: its rows, its compact view and its summary table.
    Runs runs;
    runs.push_back(Ended("COM5", PortRun::Result::kFailed, STATUS_ERR_VERSION, mismatch));
    runs.push_back(RunOf(Claim("COM6"), 262144));
    runs.back()->hasProgress = true;
    runs.back()->percent = 42;
    runs.push_back(Ended("COM8", PortRun::Result::kStopped, STATUS_DIAG_READY));
    runs.push_back(RunOf(twice));
    runs.back()->result = PortRun::Result::kRefused;
    PortRowsView rows(session);
    rows.Begin(runs);
    for (const auto& lines : {rows.Lines(0, 0), rows.Lines(40, 3)})
        shown.insert(shown.end(), lines.begin(), lines.end());
    const std::vector<std::string> table = LinesOf(SummaryTable(runs, session.Text()));
    ASSERT_GE(table.size(), 5u);
    for (size_t line = 1; line < 5; ++line) EXPECT_EQ(TextColumns(table[line]), TextColumns(table[0])) << line;
    shown.insert(shown.end(), table.begin(), table.end());

    const std::regex word("[A-Za-z]{3,}");
    for (const std::string& line : shown) {
        EXPECT_EQ(line.find("\xE3\x80\x82 "), std::string::npos) << "a space after a full stop 。 in: " << line;
        for (auto it = std::sregex_iterator(line.begin(), line.end(), word); it != std::sregex_iterator(); ++it) {
            EXPECT_TRUE(it->str() == "COM" || it->str() == "NAND") << it->str() << " in: " << line;
        }
    }
}

TEST_F(ViewsTest, SummaryTableEndsWithTheFullReasonOfEveryPortThatFailedOrWasRefused) {
    RunFailure noAnswer;
    noAnswer.port = {PortFailure::Kind::kNoAnswer, 0, "/dev/ttyBENCH1", 0, ""};
    Runs runs;
    runs.push_back(Ended("COM5", PortRun::Result::kStopped, STATUS_DIAG_READY));
    runs.push_back(Ended("COM6", PortRun::Result::kEmpty, STATUS_ERR_PORT, noAnswer));
    runs.push_back(Ended("COM7", PortRun::Result::kFailed, STATUS_ERR_NAND));
    runs.push_back(Ended("COM9", PortRun::Result::kRefused, 0));
    const auto lines = LinesOf(SummaryTable(runs, [this](unsigned id) { return Text(id); }));
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[1].rfind("COM5  stopped   0x060 ", 0), 0u) << lines[1];  // as in the JSON and the report
    EXPECT_EQ(lines[2].rfind("COM6  empty     0xF01 ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[4], "COM9  refused   -              -             -");
    EXPECT_EQ(lines[6], "COM6: [0xF01] " + Text(lang::IDS_ERR_PORT) +
                            " No handset answers on COM6 (/dev/ttyBENCH1). Check the cable, and that the handset is "
                            "switched on.");
    EXPECT_EQ(lines[7], "COM7: [0xF64] " + Text(lang::IDS_ERR_WRITE) + " " + Text(lang::IDS_ERR_NAND));
    EXPECT_EQ(lines[8], "COM9: refused: COM9 is not in the port list (see vexlor --cli --list-ports).");
}

TEST_F(ViewsTest, ASingleRunOnATerminalShowsRateAndTimeLeftThenThatTheHandsetCommits) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    std::FILE* terminal = std::fopen(ptsname(master), "w");
    ASSERT_NE(terminal, nullptr);
    auto shown = [&] {
        std::string text(4096, '\0');
        pollfd ready{master, POLLIN, 0};
        const ssize_t n = poll(&ready, 1, 2000) > 0 ? read(master, text.data(), text.size()) : 0;
        return text.substr(0, n > 0 ? static_cast<size_t>(n) : 0);
    };
    CliSession& session = Session({}, terminal);
    ASSERT_TRUE(session.Terminal());
    SingleRunView view(session);
    Runs runs;
    runs.push_back(RunOf(Claim("COM5"), 400512));
    view.Begin(runs);
    PortRun& run = *runs[0];
    run.estimate.Sample(512, 10.0);     // the first packet
    run.estimate.Sample(200512, 12.0);  // 100000 bytes a second
    run.percent = 50;
    view.Progress(run, 50);
    EXPECT_NE(shown().find("50%  97.7 KB/s  0:02 left"), std::string::npos);
    // Every byte is with the handset: no time left to tell, but what the handset does now.
    run.percent = 100;
    view.Progress(run, 100);
    EXPECT_NE(shown().find("100%  97.7 KB/s  committing and restarting"), std::string::npos);
    std::fclose(terminal);
    close(master);
}

}  // namespace
