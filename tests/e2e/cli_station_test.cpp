// SPDX-License-Identifier: Apache-2.0
// Station mode through the real program: three simulated benches, each plugging in three
// handsets in turn (one that restarts, one that refuses the NAND write, one that never
// restarts), a stop in the middle of a station, and the log of a port waited on for long with
// no handset answering.
#include <csignal>
#include <fstream>
#include <sstream>

#include "cli_rig.h"

namespace {

const std::vector<std::string> kPorts = {"COM9", "COM10", "COM11"};

class CliStationTest : public CliDownloadTest {
protected:
    std::string TraceOf(const std::string& port) const { return rig.Folder().File("trace-" + port + ".log"); }
    // A bench's three handsets, with a trace of what the simulator did.
    std::vector<std::string> ThreeHandsets(const std::string& port) const {
        // The first stays on the cable well past the tool's pause before its done status, even at
        // the sanitizer builds' slower time scale: its restart is there to be confirmed.
        return {"--restart-after", "300",
                "--unplug-after",  "1500",
                "--swap-time",     "2000",
                "--then",          "--fail-nand --unplug-after 700 --swap-time 2000",
                "--then",          "--restart-after never --unplug-after 700",
                "--log",           TraceOf(port)};
    }
    // Each handset's count of downloads begun, in the order they were plugged in.
    std::vector<int> DownloadsPerHandset(const std::string& port) const {
        std::vector<int> counts;
        std::istringstream trace(ReadWholeFile(TraceOf(port)));
        for (std::string line; std::getline(trace, line);) {
            if (line.find(" plugged in (") != std::string::npos) counts.push_back(0);
            if (line.find(" start of download") != std::string::npos && !counts.empty()) ++counts.back();
        }
        return counts;
    }
    // A station waits on COM9 with the log at level, while a handset that hears no rate the tool
    // tries leaves every detection packet unanswered (the simulator's trace counts them), for
    // eight rotations of the three rates; then it is stopped. The log holds the first rotation
    // in full, a line that the next ones are held back, and at the end how many were: however
    // many rotations went by, it stays the size of about one (below maxBytes).
    void WaitOnAnEmptyPort(const std::string& level, size_t maxBytes) {
        Prepare(0x1000, {"--only-baud", "9600", "--log", TraceOf("COM9")});
        Launch({"--cli", "--station", "--port", "COM9", "--log-level", level});
        auto probes = [&] { return CountOccurrences(ReadWholeFile(TraceOf("COM9")), "garbled: "); };
        for (int i = 0; i < 1200 && probes() < 24; ++i) vexlor.WaitForOutput("\x01", 100);
        ASSERT_GE(probes(), 24);
        vexlor.Signal(SIGINT);
        EXPECT_EQ(Finish(30000), 130) << Errors();
        const std::string log = rig.LogText();
        EXPECT_EQ(CountInLog("COM9\tCSerialIO::SendProbe\tWrite detection packet to com port."), 3) << log;
        EXPECT_EQ(CountInLog("lines of the next rotations are held back"), 1) << log;
        EXPECT_NE(log.find("COM9\tCSerialIO::ThreadProc\tThe look ends: "), std::string::npos) << log;
        EXPECT_LT(log.size(), maxBytes) << log;
    }
    // Runs a Python script over the JSON events and the report; its output lines.
    std::vector<std::string> Read(const std::string& script, const std::string& report) {
        std::ofstream(rig.Folder().File("events.json")) << Output();
        ChildProcess reader;
        EXPECT_TRUE(reader.Start("/bin/sh", {"-c", "/usr/bin/python3 -c \"$0\" \"$1\" \"$2\"", script,
                                             rig.Folder().File("events.json"), report}));
        EXPECT_EQ(reader.Wait(20000), 0) << reader.Output();
        std::vector<std::string> lines;
        std::istringstream out(reader.Output());
        for (std::string line; std::getline(out, line);) lines.push_back(line);
        return lines;
    }
};

TEST_F(CliStationTest, NineHandsetsOnThreePortsEachRecordedOnceInJsonAndReportAlike) {
    Prepare(0x20300, ThreeHandsets("COM9"));
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", ThreeHandsets("COM10")));
    ASSERT_TRUE(rig.StartSimulatorOn("COM11", ThreeHandsets("COM11")));
    const std::string report = rig.Folder().File("report.csv");
    Launch({"--cli", "--station", "--port", "COM9,COM10,COM11", "--json", "--report", report, "--max-handsets", "9",
            "--confirm-timeout", "1.5", "--gone-after", "0.5"});
    EXPECT_EQ(Finish(120000), 1) << Errors() << Output();  // one handset a port failed

    // Each record as the JSON event tells it and as the report row does: the same facts.
    const std::string script =
        "import csv, json, sys\n"
        "for line in open(sys.argv[1], encoding='utf-8'):\n"
        "    e = json.loads(line)\n"
        "    if e['event'] == 'handset':\n"
        "        c = {True: 'true', False: 'false', None: ''}[e['confirmed']]\n"
        "        print('J', e['port'], e['sequence'], e['code'], c, e['mode_after'] or '', e['platform'] or '',\n"
        "              e['bytes'], e['load_version'], e['handset_version'], e['result'])\n"
        "    if e['event'] == 'station': print('S', e['port'], e['handsets'], e['done'], e['unconfirmed'],\n"
        "                                      e['failed'], e['stopped'])\n"
        "for r in csv.DictReader(open(sys.argv[2], encoding='utf-8')):\n"
        "    print('C', r['port'], r['sequence'], r['status_code'], r['confirmed'], r['platform'], r['bytes_sent'])\n";
    const std::vector<std::string> lines = Read(script, report);
    std::vector<std::string> json, csv, stations;
    for (const std::string& line : lines) {
        if (line.rfind("J ", 0) == 0) json.push_back(line.substr(2));
        if (line.rfind("C ", 0) == 0) csv.push_back(line.substr(2));
        if (line.rfind("S ", 0) == 0) stations.push_back(line.substr(2));
    }
    const std::string all = std::to_string(0x20300);
    std::vector<std::string> expectedJson, expectedCsv;
    for (const std::string& port : kPorts) {
        expectedJson.push_back(port + " 1 0x065 true ds  " + all + " VX12.01 12 done");
        expectedJson.push_back(port + " 2 0xF64    " + all + " VX12.01 12 failed");
        expectedJson.push_back(port + " 3 0x065 false   " + all + " VX12.01 12 done");
        expectedCsv.push_back(port + " 1 0x065 true  " + all);
        expectedCsv.push_back(port + " 2 0xF64   " + all);
        expectedCsv.push_back(port + " 3 0x065 false  " + all);
        EXPECT_EQ(DownloadsPerHandset(port), (std::vector<int>{1, 1, 1})) << ReadWholeFile(TraceOf(port));
    }
    std::sort(json.begin(), json.end());
    std::sort(csv.begin(), csv.end());
    std::sort(expectedJson.begin(), expectedJson.end());
    std::sort(expectedCsv.begin(), expectedCsv.end());
    EXPECT_EQ(json, expectedJson) << Output();
    EXPECT_EQ(csv, expectedCsv) << ReadWholeFile(report);
    EXPECT_EQ(stations, (std::vector<std::string>{"COM9 3 2 1 1 0", "COM10 3 2 1 1 0", "COM11 3 2 1 1 0"}));
    EXPECT_NE(Output().find("\"event\":\"bench\",\"handsets\":9,\"done\":6,\"unconfirmed\":3,\"failed\":3"),
              std::string::npos);
    // The first handset of each bench holds the load, byte for byte.
    ExpectImageIsLoad();
    std::string why;
    EXPECT_TRUE(rig.ImageOfMatchesLoad("COM10", &why)) << why;
}

TEST_F(CliStationTest, AStopEndsTheStationStoppingTheHandsetInFlightAndTheWaitingPortAtOnce) {
    // COM9's handset commits its load for a while: the stop comes then.
    Prepare(0x20300, {"--commit-time", "1200", "--log", TraceOf("COM9")});
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", {"--silent"}));
    const std::string report = rig.Folder().File("report.csv");
    Launch({"--cli", "--station", "--port", "COM9,COM10", "--report", report});
    auto committing = [&] { return ReadWholeFile(TraceOf("COM9")).find(" committing for ") != std::string::npos; };
    for (int i = 0; i < 600 && !committing(); ++i) vexlor.WaitForOutput("\x01", 100);
    ASSERT_TRUE(committing()) << Output();
    vexlor.Signal(SIGINT);
    EXPECT_EQ(Finish(30000), 130);
    const std::string out = Output();
    EXPECT_NE(out.find("COM10: waiting for a handset\n"), std::string::npos) << out;
    EXPECT_NE(out.find("COM9: handset 1: flashing\n"), std::string::npos) << out;
    // Said at once (the handset commits: no block to wait for), then what to do with it.
    const size_t stopping = out.find("COM9: Stopping the download...\n");
    EXPECT_NE(stopping, std::string::npos) << out;
    EXPECT_GT(out.find("COM9: The download was stopped. Switch the handset off and on, then try again.\n"), stopping)
        << out;
    EXPECT_NE(out.find("COM9: handset 1: stopped\n"), std::string::npos) << out;
    EXPECT_NE(out.find("COM10: ended\n"), std::string::npos) << out;
    // The summary: counts per port, the bench's line.
    EXPECT_NE(out.find("Port   Handsets  Done  Not confirmed  Failed  Stopped\n"
                       "COM9          1     0              0       0        1\n"
                       "COM10         0     0              0       0        0\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Bench: 1 handset in 0:00:"), std::string::npos) << out;
    EXPECT_EQ(CountInLog("CDLOperator::DownloadFunc\tUse call to stop download thread."), 1);
    // Its record: the run stopped, handset 1 on COM9.
    const std::string rows = ReadWholeFile(report);
    EXPECT_NE(rows.find(",COM9," + rig.TerminalPath() + ",VX12.01,12,0x060,The download was stopped.,"),
              std::string::npos)
        << rows;
    // Sequence 1, no confirmation, no platform, and the ESN the run read (the bench's own, 9F...).
    EXPECT_NE(rows.find(",1,,,9F"), std::string::npos) << rows;
}

TEST_F(CliStationTest, OnePortsRefusalEndsTheStationWithItsOwnStatusWhenRecordsAreAsked) {
    Prepare(0x200, {});
    const std::string report = rig.Folder().File("report.csv");
    for (const std::vector<std::string>& records :
         {std::vector<std::string>{"--json"}, std::vector<std::string>{"--report", report}}) {
        SCOPED_TRACE(records.front());
        std::vector<std::string> args = {"--cli", "--station", "--port", "COM77"};
        args.insert(args.end(), records.begin(), records.end());
        EXPECT_EQ(Run(args), 8) << Errors() << Output();
        EXPECT_NE(Errors().find("COM77 is not in the port list"), std::string::npos) << Errors();
    }
    EXPECT_NE(ReadWholeFile(report).find(",refused: COM77 is not in the port list"), std::string::npos);
}
TEST_F(CliStationTest, AnEmptyPortWaitedOnForManyRotationsWritesABoundedLogAtLevel3) { WaitOnAnEmptyPort("3", 12000); }

TEST_F(CliStationTest, AnEmptyPortWaitedOnForManyRotationsWritesABoundedLogAtLevel5) { WaitOnAnEmptyPort("5", 16000); }

}  // namespace
