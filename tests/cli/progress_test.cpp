// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <set>
#include <string>

#include "app/cli/progress_printer.h"
#include "app/common/pack_advice.h"
#include "app/common/stop_notice.h"
#include "app/runs/status_text.h"
#include "app/runs/transfer_estimate.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/sys_error.h"

namespace {

TEST(TransferEstimate, RateAndTimeLeftOverTheBlockPhase) {
    TransferEstimate estimate(1000512);
    estimate.Sample(0, 3.0);  // before the first packet: not a baseline
    EXPECT_EQ(estimate.BytesPerSecond(), 0);
    EXPECT_LT(estimate.SecondsLeft(), 0);
    estimate.Sample(512, 5.0);  // the first packet, after a 5 s mode switch: the block phase starts
    EXPECT_EQ(estimate.BytesPerSecond(), 0);
    estimate.Sample(200512, 7.0);  // 200000 bytes in 2 s
    EXPECT_DOUBLE_EQ(estimate.BytesPerSecond(), 100000.0);
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(), 8.0);
    estimate.Sample(200512, 7.9);  // between two blocks the rate holds
    EXPECT_DOUBLE_EQ(estimate.BytesPerSecond(), 100000.0);
    estimate.Sample(600512, 13.0);
    EXPECT_DOUBLE_EQ(estimate.BytesPerSecond(), 75000.0);
    estimate.Sample(1000512, 15.0);
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(), 0.0);

    // The engine's time of the first packet wins over a look that came later.
    TransferEstimate told(1000512);
    told.Begin(512, 5.0);
    told.Sample(512, 5.1);
    told.Sample(200512, 7.0);
    EXPECT_DOUBLE_EQ(told.BytesPerSecond(), 100000.0);
}

TEST(ProgressBar, ShowsFillPercentRateAndTimeLeft) {
    EXPECT_EQ(FormatProgressBar(50, 0, -1, 10), "[#####.....]  50%");
    EXPECT_EQ(FormatProgressBar(0, 0, -1, 4), "[....]   0%");
    EXPECT_EQ(FormatProgressBar(250, 0, -1, 4), "[####] 100%");
    EXPECT_EQ(FormatProgressBar(42, 2.5 * 1024 * 1024, 75, 4), "[#...]  42%  2.5 MB/s  1:15 left");
    EXPECT_EQ(FormatProgressBar(42, 512, 3725, 4), "[#...]  42%  0.5 KB/s  62:05 left");
}

TEST(StatusLine, UpperCaseHexOfAtLeastThreeDigitsThenTheText) {
    const TextLookup text = [](unsigned id) { return "text " + std::to_string(id); };
    EXPECT_EQ(StatusLineText(STATUS_STARTED, text), "[0x001] text " + std::to_string(lang::IDS_STARTED));
    EXPECT_EQ(StatusLineText(STATUS_DIAG_READY, text), "[0x060] text " + std::to_string(lang::IDS_DIAG_READY));
    EXPECT_EQ(StatusLineText(STATUS_ERR_ACC, text), "[0xF66] text " + std::to_string(lang::IDS_ERR_ACC));
    EXPECT_EQ(StatusLineText(0x1234, text), "[0x1234]");
    EXPECT_EQ(StatusLineText(STATUS_DONE, [](unsigned) { return std::string(); }), "[0x065]");
}

TEST(StopNotice, TheWaitIsTheRestOfTheBlockBeingWrittenAtTheRateSoFar) {
    // Outside the blocks: nothing to wait for but the next step.
    EXPECT_FALSE(SecondsToBlockEnd(0, 0x80200, 0, -1));
    EXPECT_FALSE(SecondsToBlockEnd(0x80200, 0x80200, 40000, 1));
    // No rate yet: a whole block at 115200 baud; a short last block is shorter.
    EXPECT_DOUBLE_EQ(*SecondsToBlockEnd(0x200, 0x80200, 0, -1), 0x20000 / 11520.0);
    EXPECT_DOUBLE_EQ(*SecondsToBlockEnd(0x60200, 0x64200, 0, -1), 0x4000 / 11520.0);
    // Measured: what the time since the last block's end has written is no longer to come.
    EXPECT_DOUBLE_EQ(*SecondsToBlockEnd(0x20200, 0x80200, 32768, 1.5), 2.5);
    EXPECT_DOUBLE_EQ(*SecondsToBlockEnd(0x20200, 0x80200, 32768, 60), 0);

    const TextLookup text = [](unsigned id) {
        if (id == lang::IDS_STOPPING_BLOCK) return std::string("block %s");
        return "#" + std::to_string(id);
    };
    EXPECT_EQ(StoppingLine(std::nullopt, text), "#" + std::to_string(lang::IDS_STOPPING));
    EXPECT_EQ(StoppingLine(2.1, text), "block 3");  // rounded up
    EXPECT_EQ(StoppingLine(0, text), "block 1");    // the block's answer is still to come
}

TEST(StatusLine, EachStatusKeepsItsFixedStringAndTheLineUnderItTellsTheRest) {
    const TextLookup text = [](unsigned id) {
        if (id == lang::IDS_ERR_VERSION_MISMATCH) return std::string("have %s, want %s");
        return "#" + std::to_string(id);
    };
    // The string IDs every language library is built to.
    const std::pair<uint32_t, unsigned> fixed[] = {
        {STATUS_ERR_MODE, 89},  {STATUS_ERR_NOT_DIAG, 89}, {STATUS_ERR_VERSION, 87}, {STATUS_ERR_WRITE, 90},
        {STATUS_ERR_FINAL, 90}, {STATUS_ERR_NAND, 90},     {STATUS_ERR_PORT, 88},    {STATUS_ERR_ACC, 92}};
    for (const auto& [code, id] : fixed)
        EXPECT_EQ(StatusLineBody(code, text), "#" + std::to_string(id)) << std::hex << code;

    const RunFailure none;
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_NOT_DIAG, none, "COM3", text), "#96");
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_FINAL, none, "COM3", text), "#97");
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_NAND, none, "COM3", text), "#98");
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_MODE, none, "COM3", text), "");
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_VERSION, none, "COM3", text), "");
    RunFailure mismatch;
    mismatch.handsetVersion = "13";
    mismatch.loadVersion = "%s2";  // an argument is never taken for a format
    // A mismatch says both versions on its status line, where a row cut short still shows them,
    // and under it what to do instead (switching the handset off and on does not help there).
    EXPECT_EQ(StatusLineBody(STATUS_ERR_VERSION, mismatch, text), "have 13, want %s2");
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_VERSION, mismatch, "COM3", text),
              "#" + std::to_string(lang::IDS_VERSION_ADVICE));
    EXPECT_EQ(StatusLineBody(STATUS_ERR_VERSION, none, text), "#87");
    EXPECT_EQ(StatusLineBody(STATUS_ERR_NAND, mismatch, text), "#90");

    // A library built to the fixed table alone has no text for the new IDs: no second line.
    const TextLookup fixedOnly = [](unsigned id) { return id < 96 ? "#" + std::to_string(id) : std::string(); };
    EXPECT_EQ(StatusLineBody(STATUS_ERR_NAND, fixedOnly), "#90");
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_NAND, none, "COM3", fixedOnly), "");
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_VERSION, mismatch, "COM3", fixedOnly), "");
    EXPECT_EQ(StatusLineBody(STATUS_ERR_VERSION, mismatch, fixedOnly), "#87");
    EXPECT_EQ(PackageCheckMessage(true, "/opt/v/vexlor", fixedOnly), "#86");
    // A library without the texts of a program that carries no load yet tells it under the check.
    const TextLookup olderLibrary = [&](unsigned id) { return id < 300 ? text(id) : std::string(); };
    EXPECT_EQ(PackageCheckMessage(true, "/opt/v/vexlor", olderLibrary), "#86\n#107");
    EXPECT_EQ(PackageCheckMessage(false, "/opt/v/vexlor", text), "#86");
}

TEST(StatusLine, AProgramWithoutALoadSaysSoWithTheCommandThatPacksOne) {
    const TextLookup text = [](unsigned id) {
        if (id == lang::IDS_NO_LOAD_PACK) return std::string("pack: %s");
        return "#" + std::to_string(id);
    };
    // Not damage: no failed check's line, the program's own words and the command.
    EXPECT_EQ(PackageCheckMessage(true, "/opt/v/vexlor", text),
              "#340\npack: \"/opt/v/vexlor-pack\" --program \"/opt/v/vexlor\" --load FIRMWARE.bin --version VERSION "
              "--out \"vexlor-VERSION\"");

    // Windows: the install folder taken from the program's own path, every path quoted.
    EXPECT_EQ(PackCommandFor("C:\\Program Files\\Vexlor\\vexlor.exe", platform::kWindowsPaths),
              "\"C:\\Program Files\\Vexlor\\vexlor-pack.exe\" --program \"C:\\Program Files\\Vexlor\\vexlor.exe\" "
              "--load FIRMWARE.bin --version VERSION --out \"vexlor-VERSION.exe\"");
    EXPECT_EQ(PackCommandFor("D:/tools/vexlor.exe", platform::kWindowsPaths).rfind("\"D:/tools/vexlor-pack.exe\" ", 0),
              0u);
    // A POSIX shell still reads $, ` and \ inside double quotes: they are escaped.
    EXPECT_EQ(
        PackCommandFor("/home/a$b/x\"y/vexlor", platform::kPosixPaths).rfind("\"/home/a\\$b/x\\\"y/vexlor-pack\" ", 0),
        0u);
}

TEST(StatusLine, PortFailureNamesPortDeviceSystemTextAndHolder) {
    const TextLookup text = [](unsigned id) {
        switch (id) {
        case lang::IDS_PORT_NO_ACCESS: return std::string("A[%s|%s]");
        case lang::IDS_PORT_NO_ACCESS_WINDOWS: return std::string("W[%s|%s]");  // never on Linux: no dialout there
        case lang::IDS_PORT_IN_USE: return std::string("U[%s|%s]");
        case lang::IDS_PORT_IN_USE_UNKNOWN: return std::string("U[%s]");
        case lang::IDS_PORT_ABSENT: return std::string("G[%s]");
        default: return std::string("?");
        }
    };
    const auto line = [&](const RunFailure& failure) {
        return FailureDetailLine(STATUS_ERR_PORT, failure, "COM3", text);
    };
    RunFailure failure;
    EXPECT_EQ(line(failure), "");
    failure.port = {PortFailure::Kind::kNoAccess, EACCES, "/dev/ttyUSB0", 0, ""};
    EXPECT_EQ(line(failure), "A[COM3 (/dev/ttyUSB0)|" + platform::SysErrorText(EACCES) + "]");
    failure.port = {PortFailure::Kind::kInUse, EBUSY, "/dev/ttyUSB0", 4242, "minicom"};
    EXPECT_EQ(line(failure), "U[COM3 (/dev/ttyUSB0)|minicom (PID 4242)]");
    failure.port.holderPid = 0;
    EXPECT_EQ(line(failure), "U[COM3 (/dev/ttyUSB0)]");
    failure.port = {PortFailure::Kind::kAbsent, ENOENT, "", 0, ""};
    EXPECT_EQ(line(failure), "G[COM3]");
    // A port that went away in the middle of the run is told so, whatever the status.
    failure.port = {PortFailure::Kind::kGone, EIO, "/dev/ttyUSB0", 0, ""};
    EXPECT_EQ(FailureDetailLine(STATUS_ERR_WRITE, failure, "COM3", text), "?");
    // While a run waits for the port, the holder is named as the system tells it.
    const TextLookup busy = [](unsigned id) {
        return id == lang::IDS_PORT_BUSY_WAITING ? std::string("B[%s|%s]") : std::string("b[%s]");
    };
    EXPECT_EQ(PortBusyLine({PortFailure::Kind::kInUse, EBUSY, "/dev/ttyUSB0", 812, "ModemManager"}, "COM21", busy),
              "B[COM21|ModemManager (PID 812)]");
    EXPECT_EQ(PortBusyLine({PortFailure::Kind::kInUse, EBUSY, "/dev/ttyUSB0", 0, ""}, "COM21", busy), "b[COM21]");
}

std::string Printed(const std::function<void(ProgressPrinter&)>& use, bool terminal, const std::string& format) {
    std::FILE* file = std::tmpfile();
    {
        ProgressPrinter printer(file, terminal, "Downloading");
        if (!format.empty()) printer.SetLineFormat(format);
        use(printer);
    }
    std::rewind(file);
    std::string text;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
    return text;
}

TEST(ProgressPrinter, PlainLinesUseTheLibraryTextOncePerTenth) {
    const std::string text = Printed(
        [](ProgressPrinter& p) {
            for (unsigned percent : {0u, 1u, 9u, 10u, 11u, 42u, 43u, 99u, 100u, 100u}) p.Show(percent);
        },
        false, "Downloading: %d%% done");
    EXPECT_EQ(text,
              "Downloading: 0% done\nDownloading: 10% done\nDownloading: 42% done\nDownloading: 99% done\n"
              "Downloading: 100% done\n");
}

TEST(ProgressPrinter, TerminalRedrawsOneLineAndEndsIt) {
    const std::string text = Printed(
        [](ProgressPrinter& p) {
            p.Show(10);
            p.Show(20);
            p.End();
            p.End();
        },
        true, "");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_NE(text.find("20%"), std::string::npos);
}

}  // namespace
