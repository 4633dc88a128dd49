// SPDX-License-Identifier: Apache-2.0
// Bench use through the real program: several handsets flashed at once from one command, with
// mixed outcomes, every output form, the report file, and a stop that reaches every run.
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "cli_rig.h"
#include "platform/file_holder.h"

namespace {

// The lines of text that start with prefix.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

// The fields of a CSV line (quotes kept).
std::vector<std::string> FieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    bool quoted = false;
    std::string field;
    for (const char c : line) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

// The report's rows as port -> "status_code,bytes_sent" (the file's fields 3, 7 and 9, counted
// from 1).
std::multimap<std::string, std::string> ReportRows(const std::string& csv) {
    std::multimap<std::string, std::string> rows;
    std::istringstream in(csv);
    std::string line;
    // A new report's lines end in CR LF, as RFC 4180 writes CSV.
    const auto takeCR = [](std::string& line) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
    };
    std::getline(in, line);
    takeCR(line);
    EXPECT_EQ(line,
              "start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,seconds,sequence,"
              "confirmed,platform,esn");
    while (std::getline(in, line)) {
        takeCR(line);
        const std::vector<std::string> fields = FieldsOf(line);
        EXPECT_EQ(fields.size(), 14u) << line;
        if (fields.size() == 14) rows.emplace(fields[2], fields[6] + "," + fields[8]);
    }
    return rows;
}

class CliBenchTest : public CliDownloadTest {
protected:
    // Two handsets that take the load, one that refuses the NAND write, one that vanishes in the
    // second block, and one whose port another program holds; COM9 is named twice.
    void PrepareBench(uint32_t loadSize, const std::vector<std::string>& extra = {}) {
        Prepare(loadSize, extra);
        ASSERT_TRUE(rig.StartSimulatorOn("COM10", extra));
        ASSERT_TRUE(rig.StartSimulatorOn("COM11", {"--fail-nand"}));
        ASSERT_TRUE(rig.StartSimulatorOn("COM12", {"--disconnect-after", "140000"}));
        ASSERT_TRUE(rig.StartSimulatorOn("COM13", {}));
        ASSERT_TRUE(holder.Start("/usr/bin/flock", {"-o", rig.TerminalOf("COM13"), "sleep", "60"}));
        // The run starts once the lock is held.
        for (int look = 0; look < 1000 && !platform::FindLockHolder(rig.TerminalOf("COM13")); ++look) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(platform::FindLockHolder(rig.TerminalOf("COM13")));
    }
    void TearDown() override {
        if (holder.Pid() > 0) holder.Signal(SIGTERM);
        CliDownloadTest::TearDown();
    }
    // Five handsets at once load a two-core machine far more than one: the bench runs at twice
    // the default time scale, so that the tool's answer windows leave the simulators their turn
    // (under the sanitizers, a tenth of real time now and then left a switch to download mode
    // unanswered in time).
    static std::string BenchScale() { return std::to_string(2 * std::atof(DownloadRig::ChildTimeScale().c_str())); }
    int Run(const std::vector<std::string>& args) { return CliDownloadTest::Run(args, BenchScale()); }
    void Launch(const std::vector<std::string>& args) { CliDownloadTest::Launch(args, BenchScale()); }
    ChildProcess holder;
};

TEST_F(CliBenchTest, MixedOutcomesEachKeepTheirOwnAndTheReportRecordsEveryRun) {
    PrepareBench(0x40300);
    const std::string report = rig.Folder().File("report.csv");
    EXPECT_EQ(Run({"--cli", "--port", "COM9,COM10", "--port", "COM11", "--port", "COM12,COM13", "--port", "COM9",
                   "--report", report}),
              1)
        << Errors();
    // Without a terminal: one line per event with its port, then the summary table and, under
    // it, the reason of each port that failed or was refused.
    const size_t table = Output().find("\nPort   Result");
    ASSERT_NE(table, std::string::npos) << Output();
    const std::string out = Output().substr(0, table);
    const std::string reasons = Output().substr(Output().find("\n\n", table + 1) + 2);
    EXPECT_EQ(LinesStartingWith(reasons, "COM11: [0xF64] Writing the firmware to the handset failed.").size(), 1u)
        << reasons;
    EXPECT_EQ(
        LinesStartingWith(reasons, "COM13: [0xF01] The handset could not be reached on this port. COM13 (").size(), 1u)
        << reasons;
    EXPECT_EQ(LinesStartingWith(reasons, "COM9: refused: COM9 is named twice").size(), 1u) << reasons;
    EXPECT_EQ(LinesStartingWith(reasons, "COM10").size(), 0u) << reasons;
    EXPECT_EQ(LinesStartingWith(out, "COM9: [0x065] ").size(), 1u) << out;
    EXPECT_EQ(LinesStartingWith(out, "COM10: [0x065] ").size(), 1u) << out;
    EXPECT_EQ(LinesStartingWith(out, "COM11: [0xF64] ").size(), 1u) << out;
    EXPECT_EQ(LinesStartingWith(out, "COM12: [0xF62] ").size(), 1u) << out;
    EXPECT_EQ(LinesStartingWith(out, "COM13: [0xF01] ").size(), 1u) << out;
    EXPECT_EQ(LinesStartingWith(out, "COM13:         COM13 (" + rig.TerminalOf("COM13") + ") is in use").size(), 1u);
    EXPECT_EQ(LinesStartingWith(out, "COM9: refused: COM9 is named twice").size(), 1u) << out;
    EXPECT_EQ(LinesStartingWith(out, "COM10: Downloading: 50% done").size(), 1u) << out;
    EXPECT_EQ(LinesStartingWith(Output(), "COM11  failed    0xF64").size(), 1u) << Output();
    EXPECT_EQ(LinesStartingWith(Output(), "COM10  done      0x065").size(), 1u) << Output();

    std::string why;
    EXPECT_TRUE(rig.ImageOfMatchesLoad("COM10", &why)) << why;
    ExpectImageIsLoad();

    const auto rows = ReportRows(ReadWholeFile(report));
    EXPECT_EQ(rows.size(), 6u);
    const std::string all = std::to_string(0x40300);
    EXPECT_EQ(rows.find("COM10")->second, "0x065," + all);
    EXPECT_EQ(rows.find("COM11")->second, "0xF64," + all);
    EXPECT_EQ(rows.find("COM13")->second, "0xF01,0");
    EXPECT_EQ(rows.count("COM9"), 2u);  // the run and the refusal
    EXPECT_EQ(rows.find("COM12")->second.rfind("0xF62,", 0), 0u);
}

TEST_F(CliBenchTest, JsonEventsParseAndTellWhatHappened) {
    PrepareBench(0x20300);
    EXPECT_EQ(Run({"--cli", "--port", "COM10,COM11,COM13", "--json"}), 1) << Errors();
    // Every line is one JSON object; a reader takes each port's final status and summary.
    const std::string script =
        "import json, sys\n"
        "for line in sys.stdin:\n"
        "    e = json.loads(line)\n"
        "    if e['event'] == 'status' and e['final']: print(e['port'], 'status', e['code'], 'reason' in e)\n"
        "    if e['event'] == 'summary': print(e['port'], 'summary', e['result'], e['code'], e['bytes'])\n"
        "    if e['event'] == 'progress' and e['percent'] == 50: print(e['port'], 'half', e['bytes'] > 0)\n";
    std::ofstream(rig.Folder().File("events.json")) << Output();
    ChildProcess reader;
    ASSERT_TRUE(reader.Start("/bin/sh",
                             {"-c", "/usr/bin/python3 -c \"$0\" < \"$1\"", script, rig.Folder().File("events.json")}));
    EXPECT_EQ(reader.Wait(20000), 0);
    const std::string all = std::to_string(0x20300);
    // The final statuses come in the order the runs end; the summaries in the order of the ports.
    std::vector<std::string> lines;
    std::istringstream output(reader.Output());
    for (std::string line; std::getline(output, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u) << reader.Output();
    std::sort(lines.begin(), lines.begin() + 3);
    EXPECT_EQ(lines, (std::vector<std::string>{"COM10 status 0x065 False", "COM11 status 0xF64 True",
                                               "COM13 status 0xF01 True", "COM10 summary done 0x065 " + all,
                                               "COM11 summary failed 0xF64 " + all, "COM13 summary failed 0xF01 0"}))
        << Output();
}

TEST_F(CliBenchTest, StopSignalDuringTheBlocksStopsEveryRun) {
    Prepare(2 * 1024 * 1024, {"--throttle", "2000000"});
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", {"--throttle", "2000000"}));
    Launch({"--cli", "--port", "COM9,COM10"});
    // Both ports well into the blocks: a progress line of 10 % or more each.
    auto inTheBlocks = [&](const std::string& port) {
        for (const std::string& line : LinesStartingWith(Output(), port + ": Downloading: ")) {
            if (std::atoi(line.c_str() + port.size() + 15) >= 10) return true;
        }
        return false;
    };
    for (int i = 0; i < 600 && !(inTheBlocks("COM9") && inTheBlocks("COM10")); ++i) vexlor.WaitForOutput("\x01", 100);
    ASSERT_TRUE(inTheBlocks("COM9") && inTheBlocks("COM10")) << Output();
    vexlor.Signal(SIGINT);
    EXPECT_EQ(Finish(30000), 130);
    const std::string out = Output();
    for (const std::string port : {"COM9", "COM10"}) {
        // Told at once: the block being written goes through first, and how long that takes.
        const std::vector<std::string> stopping =
            LinesStartingWith(out, port + ": Stopping after the current block (about ");
        ASSERT_EQ(stopping.size(), 1u) << out;
        EXPECT_GE(std::atoi(stopping[0].c_str() + port.size() + 42), 1) << stopping[0];
        EXPECT_EQ(stopping[0].substr(stopping[0].size() - 6), " s)...") << stopping[0];
        EXPECT_LT(out.find(stopping[0]), out.find(port + ": The download was stopped.")) << out;
        EXPECT_EQ(LinesStartingWith(out, port + ": The download was stopped. Switch the handset off and on").size(), 1u)
            << out;
    }
    EXPECT_EQ(LinesStartingWith(out, "COM9   stopped").size(), 1u) << out;
    EXPECT_EQ(LinesStartingWith(out, "COM10  stopped").size(), 1u) << out;
    EXPECT_EQ(CountInLog("CDLOperator::DownloadFunc\tUse call to stop download thread."), 2);
}

// One bench as a factory runs it: every port of the list but one left out, a port with no
// handset on it, a line of a known rate. The JSON events, the report rows and the exit status
// tell the same story.
TEST_F(CliBenchTest, JsonReportAndExitStatusAgree) {
    constexpr double kLineBytes = 200000;  // --throttle 2000000: 10 bits a byte
    Prepare(0x80200, {});
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", {"--throttle", "2000000"}));
    ASSERT_TRUE(rig.StartSimulatorOn("COM11", {"--fail-nand"}));
    ASSERT_TRUE(rig.StartSimulatorOn("COM12", {"--silent"}));
    extraEnvironment.push_back("VEXLOR_SYSFS_ROOT=" + rig.Folder().Path());  // no system ports
    const std::string report = rig.Folder().File("report.csv");
    EXPECT_EQ(Run({"--cli", "--all-ports", "--skip-port", "COM11,COM98", "--json", "--report", report}), 0) << Errors();
    // A skip name that is no port of the list is a typo to be told; the one that is, is not.
    EXPECT_NE(Errors().find("vexlor: warning: --skip-port COM98 is not in the port list"), std::string::npos)
        << Errors();
    EXPECT_EQ(Errors().find("COM11"), std::string::npos) << Errors();

    // Every line parses as JSON in UTF-8; a reader takes the summaries and COM10's rates.
    const std::string script =
        "import json, sys\n"
        "for line in sys.stdin.buffer:\n"
        "    e = json.loads(line.decode('utf-8'))\n"
        "    if e['event'] == 'summary': print(e['port'], e['result'], e['code'] + ',' + str(e['bytes']))\n"
        "    if e['event'] == 'progress' and e['port'] == 'COM10' and e['percent'] > 0: print('rate', e['rate'])\n";
    std::ofstream(rig.Folder().File("events.json")) << Output();
    ChildProcess reader;
    ASSERT_TRUE(reader.Start("/bin/sh",
                             {"-c", "/usr/bin/python3 -c \"$0\" < \"$1\"", script, rig.Folder().File("events.json")}));
    ASSERT_EQ(reader.Wait(20000), 0) << Output();
    // A progress event's rate is payload bytes a second of the blocks so far: the line's rate,
    // less its framing, from the first block on.
    const auto rates = LinesStartingWith(reader.Output(), "rate ");
    EXPECT_GE(rates.size(), 3u) << reader.Output();
    for (const std::string& rate : rates) {
        EXPECT_GT(std::atof(rate.c_str() + 5), 0.5 * kLineBytes) << rate;
        EXPECT_LT(std::atof(rate.c_str() + 5), 1.02 * kLineBytes) << rate;
    }
    const std::string all = std::string(",").append(std::to_string(0x80200));
    EXPECT_EQ(LinesStartingWith(reader.Output(), "COM"),
              (std::vector<std::string>{"COM9 done 0x065" + all, "COM10 done 0x065" + all, "COM12 empty 0xF01,0"}));
    // The report: the same codes and bytes, COM11 left out, the empty port told why.
    const auto rows = ReportRows(ReadWholeFile(report));
    EXPECT_EQ(rows, (std::multimap<std::string, std::string>{
                        {"COM9", "0x065" + all}, {"COM10", "0x065" + all}, {"COM12", "0xF01,0"}}));
    EXPECT_NE(ReadWholeFile(report).find("No handset answers on COM12"), std::string::npos);

    // Each run's last log line tells its outcome, at level 1 (level 0 is the header and footer).
    const std::string log = rig.LogText();
    const size_t ended = log.find("Run ended: done");
    ASSERT_NE(ended, std::string::npos) << log;
    EXPECT_EQ(log.compare(log.rfind('\n', ended) + 1, 6, "<!ER>\t"), 0) << log;
    EXPECT_NE(log.find("\tCOM10\tvexlor --cli\tRun ended: done, status 0x065, program "), std::string::npos) << log;
    // The handset's ESN (the bench's own: 9F and the terminal's number) comes before the port.
    const size_t port = log.find(", port COM10 (" + rig.TerminalOf("COM10") + ").");
    ASSERT_NE(port, std::string::npos) << log;
    const size_t esn = port - 8;
    EXPECT_EQ(log.compare(esn - 32, 32, ", load VX12.01, handset 12, ESN "), 0) << log.substr(esn - 40, 60);
    EXPECT_EQ(log.substr(esn, 8).find_first_not_of("0123456789ABCDEF"), std::string::npos) << log.substr(esn, 8);
    EXPECT_NE(log.find("Run ended: empty, status 0xF01, program "), std::string::npos);
    EXPECT_EQ(log.find("COM11"), std::string::npos);
}

TEST_F(CliBenchTest, AReaderThatGoesAwayStopsThePrintingButNoRun) {
    Prepare(0x40300, {});
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", {}));
    const std::string report = rig.Folder().File("report.csv");
    Launch({"--cli", "--port", "COM9,COM10", "--report", report});
    std::string first;
    ASSERT_TRUE(vexlor.ReadLine(first, 20000));
    vexlor.CloseOutput();  // as "vexlor ... | head -1" does
    EXPECT_EQ(Finish(), 0) << Errors();
    const std::string all = std::to_string(0x40300);
    EXPECT_EQ(ReportRows(ReadWholeFile(report)),
              (std::multimap<std::string, std::string>{{"COM9", "0x065," + all}, {"COM10", "0x065," + all}}));
}

TEST_F(CliBenchTest, OnePortsRefusalIsAnEventAndARowWhenRecordsAreAsked) {
    Prepare(0x200, {});
    const std::string report = rig.Folder().File("report.csv");
    EXPECT_EQ(Run({"--cli", "--port", "COM77", "--json", "--report", report}), 8);
    EXPECT_NE(Errors().find("vexlor: COM77 is not in the port list"), std::string::npos) << Errors();
    for (const char* event : {"\"refused\",\"port\":\"COM77\",\"device\":\"\",\"reason\":\"COM77 is not in the",
                              "\"summary\",\"port\":\"COM77\",\"device\":\"\",\"result\":\"refused\""}) {
        EXPECT_NE(Output().find(event), std::string::npos) << Output();
    }
    EXPECT_EQ(ReportRows(ReadWholeFile(report)), (std::multimap<std::string, std::string>{{"COM77", ",0"}}));
    EXPECT_NE(ReadWholeFile(report).find(",refused: COM77 is not in the port list"), std::string::npos);
}

// A report file an older Vexlor began keeps its ten columns; a file that is no report is left
// alone, and said so at once.
TEST_F(CliBenchTest, AReportKeepsTheColumnsItsHeaderNamesAndAFileThatIsNoReportIsRefused) {
    Prepare(0x200, {});
    const std::string older = rig.Folder().File("older.csv");
    const std::string tenColumns =
        "start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,seconds";
    std::ofstream(older) << tenColumns << "\n";
    EXPECT_EQ(CliDownloadTest::Run({"--cli", "--port", DownloadRig::kPort, "--report", older}), 0) << Errors();
    EXPECT_NE(
        Errors().find("vexlor: warning: the report file " + older + " has no column sequence, confirmed, platform"),
        std::string::npos)
        << Errors();
    EXPECT_EQ(CountInLog("Report: the report file " + older + " has no column sequence"), 1);
    const auto rows = LinesStartingWith(ReadWholeFile(older), "20");
    ASSERT_EQ(rows.size(), 1u) << ReadWholeFile(older);
    const auto fields = FieldsOf(rows[0]);
    ASSERT_EQ(fields.size(), 10u) << rows[0];
    EXPECT_EQ(fields[2], "COM9");
    EXPECT_EQ(fields[6] + "," + fields[8], "0x065," + std::to_string(0x200));

    const std::string foreign = rig.Folder().File("people.csv");
    std::ofstream(foreign) << "name,age\nAnna,31\n";
    EXPECT_EQ(CliDownloadTest::Run({"--cli", "--port", DownloadRig::kPort, "--report", foreign}), 9);
    EXPECT_NE(Errors().find("vexlor: the report file " + foreign + " is not a Vexlor report"), std::string::npos)
        << Errors();
    EXPECT_TRUE(PrintedStatuses().empty()) << Output();
    EXPECT_EQ(ReadWholeFile(foreign), "name,age\nAnna,31\n");
}

}  // namespace
