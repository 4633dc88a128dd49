// SPDX-License-Identifier: Apache-2.0
// Whole downloads through the real vexlor --cli program (a packed copy) against the simulator:
// status lines, exit status, log lines and the image, for the whole matrix of handset behaviour,
// plus the start-up checks and the signals.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli_rig.h"
#include "engine/dl_status.h"

namespace {

using Statuses = std::vector<uint32_t>;
const Statuses kDone = {STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE};

// --- Start modes and loads -----------------------------------------------------------------

TEST_F(CliDownloadTest, DiagStartIsDoneWithPlainProgressLines) {
    Prepare(0x20201, {"--mode", "diag"});
    EXPECT_EQ(Run(), 0) << Errors();
    EXPECT_EQ(PrintedStatuses(), kDone);
    const std::string out = Output();
    EXPECT_NE(out.find("[0x065] "), std::string::npos);
    EXPECT_NE(out.find("Checking firmware data: 100%"), std::string::npos);
    EXPECT_NE(out.find("Downloading: 0% done"), std::string::npos);
    EXPECT_NE(out.find("Downloading: 100% done"), std::string::npos);
    EXPECT_EQ(CountInLog("CDLOperator::DownloadFunc\tStart writing block start at 20200, block size 1."), 1);
    // A pipe gets a progress line per tenth, and the run ends with its summary.
    EXPECT_EQ(Output().find("Downloading: 1% done"), std::string::npos);
    EXPECT_NE(Output().find("\n131585 bytes sent in "), std::string::npos) << out;
    EXPECT_EQ(out.substr(out.rfind('\n', out.size() - 2) + 1).find("131585 bytes sent in"), 0u) << out;
    ExpectImageIsLoad();
}

TEST_F(CliDownloadTest, DsStartIsDone) {
    Prepare(0x200, {"--mode", "ds"});
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--quiet"}), 0) << Errors();
    EXPECT_EQ(PrintedStatuses(), kDone);
    // Quiet: the status lines and nothing else.
    for (size_t start = 0; start < Output().size(); start = Output().find('\n', start) + 1) {
        EXPECT_EQ(Output().compare(start, 3, "[0x"), 0) << Output();
    }
    ExpectImageIsLoad();
}

TEST_F(CliDownloadTest, DlStartFails) {
    Prepare(0x200, {"--mode", "dl"});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED, STATUS_ERR_NOT_DIAG}));
    EXPECT_EQ(CountInLog("Mobile current mode is DL, can not change to DIAG."), 1);
}

class CliLoadSizeTest : public CliDownloadTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(CliLoadSizeTest, ArrivesWhole) {
    Prepare(GetParam(), {});
    EXPECT_EQ(Run(), 0) << Errors();
    EXPECT_EQ(PrintedStatuses(), kDone);
    ExpectImageIsLoad();
}

INSTANTIATE_TEST_SUITE_P(Sizes, CliLoadSizeTest,
                         ::testing::Values(100u, 0x200u, 0x20200u, 0x20201u, 5u * 1024 * 1024 + 3),
                         [](const auto& info) { return "Load" + std::to_string(info.param); });

// --- Failures ------------------------------------------------------------------------------

struct FailureCase {
    const char* name;
    std::vector<std::string> simOptions;
    uint32_t status;
    const char* logLine;  // written exactly once
};

void PrintTo(const FailureCase& failure, std::ostream* os) { *os << failure.name; }

class CliFailureTest : public CliDownloadTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliFailureTest, EndsWithItsStatusAndExitOne) {
    const FailureCase& failure = GetParam();
    Prepare(0x40300, failure.simOptions);
    EXPECT_EQ(Run(), 1);
    const Statuses statuses = PrintedStatuses();
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), STATUS_STARTED);
    EXPECT_EQ(statuses.back(), failure.status);
    EXPECT_LE(statuses.size(), 3u);
    EXPECT_EQ(CountInLog(failure.logLine), 1) << failure.logLine;
    EXPECT_EQ(Output().find("Downloading: 100% done"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Handset, CliFailureTest,
    ::testing::Values(
        FailureCase{"VersionMismatch",
                    {"--version-numbers", "9,9"},
                    STATUS_ERR_VERSION,
                    "Check version failed with error code F0010102."},
        FailureCase{"AccRefusal", {"--refuse-start", "0x1002"}, STATUS_ERR_ACC, "ACC failed with error code F0010105."},
        FailureCase{"OtherRefusal",
                    {"--refuse-start", "0x0001"},
                    STATUS_ERR_MODE,
                    "Download initialization failed with error code F0010101."},
        FailureCase{"BadBlockStatus",
                    {"--bad-block-status", "1"},
                    STATUS_ERR_WRITE,
                    "write packet failed with error code F0010101."},
        FailureCase{"BadCheckAfterBlock",
                    {"--bad-check-after-block", "2"},
                    STATUS_ERR_WRITE,
                    "There is error in Block packet writing."},
        FailureCase{"UnaskedResponse",
                    {"--unasked-response-in-block", "1"},
                    STATUS_ERR_WRITE,
                    "write packet failed with error code F0010103."},
        FailureCase{"EndFails",
                    {"--fail-final"},
                    STATUS_ERR_FINAL,
                    "CDLOperator::FinalDownload\tReturn response error code is 70 - 1."},
        FailureCase{"NandFails",
                    {"--fail-nand"},
                    STATUS_ERR_NAND,
                    "CDLOperator::WriteToNand\tReturn response error code is 70 - 1."},
        FailureCase{"OfflineNever", {"--offline-after", "never"}, STATUS_ERR_MODE, "Change to offline fails."},
        FailureCase{"Silent", {"--silent"}, STATUS_ERR_PORT, "Phone mode detection failed."},
        FailureCase{
            "Disconnect", {"--disconnect-after", "200000"}, STATUS_ERR_WRITE, "write packet failed with error code"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliDownloadTest, APortThatGoesAwayDuringTheDownloadIsToldAsSuch) {
    Prepare(0x40300, {"--disconnect-after", "100000"});
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--json"}), 1);
    std::string final;
    std::istringstream events(Output());
    for (std::string line; std::getline(events, line);) {
        if (line.find("\"final\":true") != std::string::npos) final = line;
    }
    EXPECT_NE(final.find("\"code\":\"0xF62\""), std::string::npos) << Output();
    EXPECT_NE(final.find("the port went away during the download: check the cable, switch the handset off and on"),
              std::string::npos)
        << final;
}

TEST_F(CliDownloadTest, VersionMismatchAsksThreeTimes) {
    Prepare(0x200, {"--version-numbers", "1,3"});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY, STATUS_ERR_VERSION}));
    EXPECT_EQ(CountInLog("SW version version mismatch, new [12], old [13]"), 3);
}

TEST_F(CliDownloadTest, PlatformWithoutOfflineStepIsDone) {
    Prepare(0x20201, {"--platform", "CORVANE1", "--no-status-reply"});
    EXPECT_EQ(Run(), 0) << Errors();
    EXPECT_EQ(PrintedStatuses(), kDone);
    EXPECT_EQ(CountInLog("Maybe it is a Corvane handset"), 1);
    ExpectImageIsLoad();
}

// --- Signals -------------------------------------------------------------------------------

TEST_F(CliDownloadTest, SigintDuringTheBlocksStopsTheRun) {
    Prepare(4 * 1024 * 1024, {"--throttle", "2000000"});
    const std::string report = rig.Folder().File("report.csv");
    Launch({"--cli", "--port", DownloadRig::kPort, "--report", report, "--report-bom"});
    ASSERT_TRUE(vexlor.WaitForOutput("Downloading: 0% done", 30000)) << Output();
    ASSERT_TRUE(vexlor.WaitForOutput("% done\nDownloading", 30000)) << Output();
    vexlor.Signal(SIGINT);
    EXPECT_EQ(Finish(20000), 130);
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY}));
    EXPECT_NE(Output().find("The download was stopped."), std::string::npos);
    EXPECT_EQ(CountInLog("CDLOperator::DownloadFunc\tUse call to stop download thread."), 1);
    EXPECT_EQ(CountInLog("Start writing block start at"),
              CountInLog("CDLOperator::CheckWriteBlockPacketError\tSend TxRx") + 1);
    // The block the stop came in went out whole: the summary and the report count it.
    const std::string sent = std::to_string(512 + 131072 * CountInLog("Start writing block start at"));
    EXPECT_NE(Output().find("\n" + sent + " bytes sent in "), std::string::npos) << sent << "\n" << Output();
    EXPECT_NE(ReadWholeFile(report).find("," + sent + ","), std::string::npos) << ReadWholeFile(report);
    // Asked for, the new file begins with a byte order mark (for Excel); its lines end in CR LF.
    EXPECT_EQ(ReadWholeFile(report).rfind("\xEF\xBB\xBFstart,end,", 0), 0u);
    EXPECT_EQ(ReadWholeFile(report).substr(ReadWholeFile(report).size() - 2), "\r\n");
}

TEST_F(CliDownloadTest, SigtermDuringDetectionStopsTheRun) {
    Prepare(0x200, {"--silent"});
    Launch();
    ASSERT_TRUE(vexlor.WaitForOutput("[0x001]", 20000));
    // Once the handset is being looked for.
    for (int look = 0; look < 2000 && CountInLog("Can not determine phone mode, so wait a moment.") == 0; ++look) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    vexlor.Signal(SIGTERM);
    EXPECT_EQ(Finish(20000), 130);
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED}));
    EXPECT_EQ(CountInLog("Use call to stop download thread."), 1);
    EXPECT_LT(CountInLog("Can not determine phone mode, so wait a moment."), 30);
}

TEST_F(CliDownloadTest, SighupStopsTheRunAsSigtermDoes) {
    Prepare(0x200, {"--silent"});
    Launch();
    ASSERT_TRUE(vexlor.WaitForOutput("[0x001]", 20000));
    vexlor.Signal(SIGHUP);  // the terminal closed, or the SSH session dropped
    EXPECT_EQ(Finish(20000), 130);
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED}));
    EXPECT_EQ(CountInLog("Use call to stop download thread."), 1);
}

TEST_F(CliDownloadTest, SigintDuringThePackageCheckEndsBeforeThePortIsOpened) {
    Prepare(24 * 1024 * 1024, {});
    Launch();
    ASSERT_TRUE(vexlor.WaitForOutput("Checking firmware data: 10%", 20000)) << Output();
    vexlor.Signal(SIGINT);
    EXPECT_EQ(Finish(20000), 130);
    EXPECT_TRUE(PrintedStatuses().empty()) << Output();
    EXPECT_EQ(CountInLog("Start listener."), 0);
}

// --- Start-up checks -----------------------------------------------------------------------

TEST_F(CliDownloadTest, MissingLanguageLibraryIsNamed) {
    Prepare(0x200, {});
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--lang", "1"}), 6);
    EXPECT_NE(Errors().find("Couldn't load file with path: " + rig.Folder().File("VexlorChtRes.so") + "."),
              std::string::npos)
        << Errors();
    EXPECT_TRUE(PrintedStatuses().empty());
}

TEST_F(CliDownloadTest, OtherLanguageLibraryGivesItsTexts) {
    Prepare(0x200, {});
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--lang", "2"}), 0) << Errors();
    EXPECT_EQ(PrintedStatuses(), kDone);
    EXPECT_EQ(Output().find("Download completed."), std::string::npos);  // not the English text
}

TEST_F(CliDownloadTest, PortOutsideThePortListIsRefused) {
    Prepare(0x200, {});
    EXPECT_EQ(Run({"--cli", "--port", "COM250"}), 8);
    EXPECT_NE(Errors().find("COM250 is not in the port list"), std::string::npos) << Errors();
    EXPECT_EQ(CountInLog("Start listener."), 0);
}

TEST_F(CliDownloadTest, LogLevelZeroHoldsOnlyTheHeaderAndFooter) {
    Prepare(0x200, {});
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--log-level", "0"}), 0) << Errors();
    std::istringstream lines(rig.LogText());
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) EXPECT_EQ(line.rfind("<NML>\t", 0), 0u) << line;
    EXPECT_EQ(count, 4) << rig.LogText();  // two lines of header, two of footer
    EXPECT_EQ(CountInLog("Run ended"), 0);
}

TEST_F(CliDownloadTest, DamagedPackageIsRefusedBeforeAnyDownload) {
    Prepare(0x30000, {});
    {
        std::fstream packed(rig.PackedPath(), std::ios::in | std::ios::out | std::ios::binary);
        packed.seekp(-600 - 0x10000, std::ios::end);
        packed.put('\x55');
    }
    EXPECT_EQ(Run(), 7);
    EXPECT_NE(Errors().find("The firmware data of this tool is damaged"), std::string::npos) << Errors();
    EXPECT_TRUE(PrintedStatuses().empty());
    EXPECT_EQ(CountInLog("CDLOperator::SetLoad\t Check Load CRC failed."), 1);
}

TEST_F(CliDownloadTest, ListPortsShowsTheSimulator) {
    Prepare(0x200, {});
    EXPECT_EQ(Run({"--cli", "--list-ports"}), 0);
    // A pseudo-terminal has no USB details; the port is free for this user.
    EXPECT_NE(Output().find(std::string(DownloadRig::kPort) + "\t" + rig.TerminalPath() + "\t-\t-\t-\tok\n"),
              std::string::npos)
        << Output();
}

TEST_F(CliDownloadTest, HelpVersionAndBadCommandLines) {
    Prepare(0x200, {});
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(Output().find("--list-ports"), std::string::npos);
    ChildProcess version;
    ASSERT_TRUE(version.Start(rig.PackedPath(), {"--version"}));
    EXPECT_EQ(version.Wait(10000), 0);
    EXPECT_EQ(version.Output().rfind("vexlor ", 0), 0u);
    ChildProcess bad;
    ASSERT_TRUE(bad.Start(rig.PackedPath(), {"--cli", "--port", "COMX"}));
    EXPECT_EQ(bad.Wait(10000), 2);
}

}  // namespace
