// SPDX-License-Identifier: Apache-2.0
// A station that knows its handsets by their ESNs, through the real program: a handset whose
// USB port leaves the list while it restarts, one that restarts long after the confirmation's
// time, one that never restarts while the next is plugged in inside the window, an ESN that holds
// 0x7E and 0x7D, and a stop during a confirmation.
#include <csignal>
#include <fstream>
#include <sstream>

#include "cli_rig.h"

namespace {

class CliStationIdentityTest : public CliDownloadTest {
protected:
    std::string TraceOf(const std::string& port) const { return rig.Folder().File("trace-" + port + ".log"); }
    // Each handset's count of downloads begun, in the order they were plugged in.
    std::vector<int> DownloadsPerHandset(const std::string& port) const {
        std::vector<int> counts;
        std::istringstream trace(ReadWholeFile(TraceOf(port)));
        for (std::string line; std::getline(trace, line);) {
            if (line.find(" plugged in (") != std::string::npos) counts.push_back(0);
            if (line.find(" start of download") != std::string::npos && !counts.empty()) ++counts.back();
        }
        // A bench of one handset notes no plugging in: its downloads are all the trace's.
        if (counts.empty()) counts.push_back(CountOccurrences(trace.str(), " start of download"));
        return counts;
    }
    // The handset records of the JSON events and the report's rows, one line each.
    std::vector<std::string> Records(const std::string& report) {
        std::ofstream(rig.Folder().File("events.json")) << Output();
        const std::string script =
            "import csv, json, sys\n"
            "for line in open(sys.argv[1], encoding='utf-8'):\n"
            "    e = json.loads(line)\n"
            "    if e['event'] == 'handset':\n"
            "        c = {True: 'true', False: 'false', None: 'null'}[e['confirmed']]\n"
            "        print('J', e['port'], e['sequence'], e['esn'], e['esn_dec'], c, e['confirmed_by'], e['reason'])\n"
            "if len(sys.argv) > 2:\n"
            "    for r in csv.DictReader(open(sys.argv[2], encoding='utf-8')):\n"
            "        print('C', r['port'], r['sequence'], r['esn'], r['confirmed'])\n";
        ChildProcess reader;
        std::vector<std::string> args = {"-c", "/usr/bin/python3 -c \"$0\" \"$@\"", script,
                                         rig.Folder().File("events.json")};
        if (!report.empty()) args.push_back(report);
        EXPECT_TRUE(reader.Start("/bin/sh", args));
        EXPECT_EQ(reader.Wait(20000), 0) << reader.Output();
        std::vector<std::string> lines;
        std::istringstream out(reader.Output());
        for (std::string line; std::getline(out, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    // Waits until the output holds needle count times (up to limitMs).
    bool WaitForCount(const std::string& needle, int count, int limitMs) {
        for (int waited = 0; waited < limitMs; waited += 100) {
            if (CountOccurrences(Output(), needle) >= count) return true;
            vexlor.WaitForOutput("\x01", 100);
        }
        return false;
    }
};

TEST_F(CliStationIdentityTest, EveryHandsetIsFlashedOnceAndItsRestartConfirmedByWhoAnswers) {
    // COM9: the first handset's USB port leaves the list while it restarts; the second one's ESN
    // holds 0x7E and 0x7D, escaped on the line.
    Prepare(0x20300,
            {"--esn", "11111111", "--port-leaves", "--restart-after", "2500", "--unplug-after", "800", "--swap-time",
             "1500", "--then", "--esn 7E7D0102 --restart-after 300 --unplug-after 800", "--log", TraceOf("COM9")});
    // COM10: it restarts after 12 s, long after the confirmation's 4 s: then it is known again.
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", {"--esn", "22222222", "--restart-after", "12000", "--unplug-after",
                                               "1500", "--log", TraceOf("COM10")}));
    // COM11: it never restarts, and the next one is plugged in within the confirmation's time.
    ASSERT_TRUE(rig.StartSimulatorOn(
        "COM11", {"--esn", "33333333", "--restart-after", "never", "--unplug-after", "300", "--swap-time", "300",
                  "--then", "--esn 44444444 --restart-after 300 --unplug-after 800", "--log", TraceOf("COM11")}));
    const std::string report = rig.Folder().File("report.csv");
    Launch({"--cli", "--station", "--port", "COM9,COM10,COM11", "--json", "--report", report, "--confirm-timeout", "4",
            "--gone-after", "0.5"});
    ASSERT_TRUE(WaitForCount("\"event\":\"handset\"", 5, 90000)) << Output();
    ASSERT_TRUE(WaitForCount("ESN 22222222 already flashed as handset 1 at ", 1, 30000)) << Output();
    vexlor.Signal(SIGINT);
    EXPECT_EQ(Finish(30000), 130) << Errors() << Output();

    const std::string dec9 =
                          "017"
                          "01118481",
                      dec9b =
                          "126"
                          "08192258";  // 0x11 = 17, 0x7E = 126
    EXPECT_EQ(Records(report), (std::vector<std::string>{
                                   "C COM10 1 22222222 false",
                                   "C COM11 1 33333333 false",
                                   "C COM11 2 44444444 true",
                                   "C COM9 1 11111111 true",
                                   "C COM9 2 7E7D0102 true",
                                   "J COM10 1 22222222 03402236962 false None "
                                   "Done, restart not confirmed: the handset did not answer again.",
                                   "J COM11 1 33333333 05103355443 false None "
                                   "Done, restart not confirmed: another handset (ESN 44444444) answered.",
                                   "J COM11 2 44444444 06804473924 true esn None",
                                   "J COM9 1 11111111 " + dec9 + " true esn None",
                                   "J COM9 2 7E7D0102 " + dec9b + " true esn None",
                               }))
        << Output();
    for (const std::string port : {"COM9", "COM10", "COM11"}) {
        const std::vector<int> expected(port == "COM10" ? 1 : 2, 1);
        EXPECT_EQ(DownloadsPerHandset(port), expected) << port << "\n" << ReadWholeFile(TraceOf(port));
    }
    // The port did leave the list, and came back while the handset was waited for.
    EXPECT_NE(ReadWholeFile(TraceOf("COM9")).find("port gone from the list"), std::string::npos);
}

// The words of a shell command line (double quotes group, a backslash at the end of a line joins
// the next one), from the README's line that begins with start, up to an "&" or the line's end.
std::vector<std::string> ReadmeCommand(const std::string& start) {
    const std::string readme = ReadWholeFile(VEXLOR_README);
    const size_t at = readme.find("\n" + start);
    if (at == std::string::npos) return {};
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (size_t i = at + 1; i < readme.size(); ++i) {
        const char c = readme[i];
        if (c == '\\' && i + 1 < readme.size() && readme[i + 1] == '\n') {
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\n' || c == '&')) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
            if (c != ' ') break;
        } else {
            word += c;
            any = true;
        }
    }
    return words;
}

TEST_F(CliStationIdentityTest, TheReadmesStationExampleEndsWithEachHandsetRecordedOnce) {
    std::vector<std::string> sim = ReadmeCommand("vexlor-handset-sim --register /tmp/sim.reg --com COM9 ");
    std::vector<std::string> tool = ReadmeCommand("VEXLOR_REGISTRY=/tmp/sim.reg vexlor --cli --station ");
    ASSERT_GT(sim.size(), 5u);
    ASSERT_GT(tool.size(), 2u);
    // The rig registers the simulator in a settings file of its own.
    sim.erase(sim.begin(), sim.begin() + 5);
    sim.insert(sim.end(), {"--log", TraceOf("COM9")});
    tool.erase(tool.begin(), tool.begin() + 2);
    tool.push_back("--json");
    Prepare(0x20300, sim);
    Launch(tool);
    EXPECT_EQ(Finish(110000), 1) << Errors() << Output();  // its second handset fails
    const std::vector<std::string> records = Records("");
    ASSERT_EQ(records.size(), 3u) << Output();
    EXPECT_EQ(records[0].substr(0, 8), "J COM9 1") << records[0];
    EXPECT_NE(records[0].find(" true esn None"), std::string::npos) << records[0];
    EXPECT_EQ(records[1].substr(0, 8), "J COM9 2") << records[1];
    EXPECT_EQ(records[2].substr(0, 8), "J COM9 3") << records[2];
    EXPECT_NE(records[2].find(" false None Done, restart not confirmed: the handset did not answer again."),
              std::string::npos)
        << records[2];
    EXPECT_EQ(DownloadsPerHandset("COM9"), (std::vector<int>{1, 1, 1})) << ReadWholeFile(TraceOf("COM9"));
}

TEST_F(CliStationIdentityTest, AStopDuringTheConfirmationLeavesItOpenAndSaysSo) {
    Prepare(0x1000, {"--restart-after", "never", "--log", TraceOf("COM9")});
    Launch({"--cli", "--station", "--port", "COM9", "--json", "--confirm-timeout", "60"});
    ASSERT_TRUE(WaitForCount("\"event\":\"confirming\"", 1, 60000)) << Output();
    vexlor.Signal(SIGINT);
    EXPECT_EQ(Finish(30000), 130) << Errors() << Output();
    const std::vector<std::string> records = Records("");
    ASSERT_EQ(records.size(), 1u) << Output();
    EXPECT_EQ(records[0].rfind("J COM9 1 9F", 0), 0u) << records[0];  // the bench's own ESN
    EXPECT_NE(
        records[0].find(" null None Done, restart not confirmed: the station was stopped during the confirmation."),
        std::string::npos)
        << records[0];
}

}  // namespace
