// SPDX-License-Identifier: Apache-2.0
// The report file: rows whole or not at all, only regular files, and fields that stay text.
#include "app/runs/run_report.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <future>

#include "engine/dl_status.h"
#include "platform/record_file.h"
#include "runs_fixture.h"

namespace {

class RunReportTest : public RunsFixture {
protected:
    std::unique_ptr<PortRun> DoneRun(const std::string& port) {
        auto run = RunOf(Claim(port));
        run->result = PortRun::Result::kDone;
        run->lastStatus = STATUS_DONE;
        return run;
    }
    RunReport Report(const std::string& path, const std::string& version = "VX12.01") {
        return RunReport(path, version, [this](unsigned id) { return Text(id); });
    }
};

TEST_F(RunReportTest, ARowIsAppendedWholeOrNotAtAll) {
    const std::string path = folder.File("report.csv");
    RunReport report = Report(path);
    ASSERT_EQ(report.Append(*DoneRun("COM5")), 0);
    const std::string before = ReadWholeFile(path);
    // In a child whose file size limit ends the next row half-way, as a full disk would.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{before.size() + 40, before.size() + 40};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(report.Append(*DoneRun("COM6")) == EFBIG ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadWholeFile(path), before);  // the half row was taken back
    ASSERT_EQ(report.Append(*DoneRun("COM7")), 0);
    const auto lines = LinesOf(ReadWholeFile(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(CsvFields(lines[2]).size(), 14u);
    EXPECT_EQ(CsvFields(lines[2])[2], "COM7");
    EXPECT_NE(report.Problem(EFBIG).find(path + ": File too large"), std::string::npos);
}

TEST_F(RunReportTest, WhatIsNotARegularFileIsRefusedAtOnce) {
    const std::string fifo = folder.File("fifo.csv");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // No reader ever comes. Should the check wait for one, a reader frees it and the test fails.
    auto check = std::async(std::launch::async, [&] { return Report(fifo).Check(); });
    const bool answered = check.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!answered) close(open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    EXPECT_TRUE(answered);
    EXPECT_EQ(check.get(), platform::kRecordNotAFile);
    EXPECT_EQ(Report("/dev/null").Check(), platform::kRecordNotAFile);
    EXPECT_EQ(Report(folder.Path()).Check(), platform::kRecordNotAFile);
    EXPECT_EQ(Report(fifo).Problem(platform::kRecordNotAFile),
              "cannot write the report file " + fifo +
                  ": it is not a regular file (a FIFO, a device or a folder); --report takes a file");
}

TEST_F(RunReportTest, RowsFollowTheColumnsTheFilesOwnHeaderNames) {
    // A file begun by an older Vexlor (ten columns), one whose columns a spreadsheet reordered
    // and saved with a byte order mark and quotes, and one that is no report at all.
    const std::string older = folder.File("older.csv");
    const std::string olderHeader =
        "start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,seconds\r\n";
    std::ofstream(older) << olderHeader;
    RunReport report = Report(older);
    ASSERT_EQ(report.Check(), 0);
    EXPECT_EQ(report.LeftOut(), (std::vector<std::string>{"sequence", "confirmed", "platform", "esn"}));
    EXPECT_NE(report.LeftOutNote().find(older + " has no column sequence, confirmed, platform, esn"), std::string::npos)
        << report.LeftOutNote();
    ASSERT_EQ(report.Append(*DoneRun("COM5")), 0);
    auto lines = LinesOf(ReadWholeFile(older));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(CsvFields(lines[1]).size(), 10u) << lines[1];
    EXPECT_EQ(CsvFields(lines[1])[2], "COM5");

    const std::string reordered = folder.File("reordered.csv");
    std::ofstream(reordered) << "\xEF\xBB\xBF\"status_code\", port ,sequence\n";
    ASSERT_EQ(Report(reordered).Append(*DoneRun("COM6")), 0);
    lines = LinesOf(ReadWholeFile(reordered));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "0x065,COM6,1");

    const std::string foreign = folder.File("foreign.csv");
    for (const std::string header : {std::string("name,port,age"), std::string("port,port"), std::string("")}) {
        std::ofstream(foreign) << header << "\nAnna,COM1,31\n";
        const std::string before = ReadWholeFile(foreign);
        EXPECT_EQ(Report(foreign).Check(), RunReport::kNotAReport) << header;
        EXPECT_EQ(Report(foreign).Append(*DoneRun("COM7")), RunReport::kNotAReport) << header;
        EXPECT_EQ(ReadWholeFile(foreign), before);
    }
    EXPECT_NE(
        Report(foreign).Problem(RunReport::kNotAReport).find("the report file " + foreign + " is not a Vexlor report"),
        std::string::npos);
    // A new file gets today's header and every column.
    RunReport fresh = Report(folder.File("new.csv"));
    ASSERT_EQ(fresh.Check(), 0);
    EXPECT_TRUE(fresh.LeftOut().empty());
    EXPECT_EQ(ReadWholeFile(folder.File("new.csv")), RunReport::Header());
}

TEST_F(RunReportTest, ANewFileEndsItsLinesInCRLFAndAnExistingOneKeepsItsOwnAndGetsNoMark) {
    // A new file: CR LF lines as RFC 4180 writes them, a mark only where asked.
    const std::string plain = folder.File("plain.csv");
    RunReport noMark = Report(plain);
    noMark.SetByteOrderMark(false);
    ASSERT_EQ(noMark.Append(*DoneRun("COM5")), 0);
    ASSERT_EQ(noMark.Append(*DoneRun("COM6")), 0);
    std::string text = ReadWholeFile(plain);
    EXPECT_EQ(text.rfind("start,end,port,", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_EQ(text.find("\r\n\r"), std::string::npos);
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        EXPECT_EQ(text[at - 1], '\r') << at;

    const std::string marked = folder.File("marked.csv");
    RunReport withMark = Report(marked);
    withMark.SetByteOrderMark(true);
    ASSERT_EQ(withMark.Check(), 0);
    ASSERT_EQ(withMark.Append(*DoneRun("COM5")), 0);
    text = ReadWholeFile(marked);
    EXPECT_EQ(text.rfind("\xEF\xBB\xBF" + RunReport::Header(), 0), 0u) << text;
    EXPECT_EQ(text.find("\xEF\xBB\xBF", 3), std::string::npos);  // one mark, at the start only

    // An existing file: its own line ends, read from its header line (a file begun by another
    // tool with LF lines, and the marked one above, whose header is read past its mark), and
    // never a mark, even where one is asked.
    const std::string lf = folder.File("lf.csv");
    std::ofstream(lf) << "port,status_code\nCOM1,0x065\n";
    RunReport intoLf = Report(lf);
    intoLf.SetByteOrderMark(true);
    ASSERT_EQ(intoLf.Check(), 0);
    ASSERT_EQ(intoLf.Append(*DoneRun("COM7")), 0);
    EXPECT_EQ(ReadWholeFile(lf), "port,status_code\nCOM1,0x065\nCOM7,0x065\n");
    ASSERT_EQ(withMark.Append(*DoneRun("COM8")), 0);
    const std::string added = ReadWholeFile(marked).substr(text.size());
    EXPECT_EQ(added.substr(added.size() - 2), "\r\n");
    EXPECT_EQ(CsvFields(LinesOf(added).at(0)).at(2), "COM8");
}

TEST_F(RunReportTest, FieldsASpreadsheetWouldRunAsAFormulaStayText) {
    EXPECT_EQ(CsvField("=HYPERLINK(\"x\")"), "\"'=HYPERLINK(\"\"x\"\")\"");
    for (const std::string text : {"+1", "-2", "@SUM(A1)", "\tx"}) EXPECT_EQ(CsvField(text), "'" + text);
    EXPECT_EQ(CsvField("\rx"), "\"'\rx\"");
    EXPECT_EQ(CsvField("VX12.01"), "VX12.01");
    EXPECT_EQ(CsvField("a, b"), "\"a, b\"");
    const std::string path = folder.File("report.csv");
    ASSERT_EQ(Report(path, "=cmd|' /C calc'!A0").Append(*DoneRun("COM5")), 0);
    EXPECT_EQ(CsvFields(LinesOf(ReadWholeFile(path)).at(1)).at(4), "'=cmd|' /C calc'!A0");
}

}  // namespace
