#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "app/cli/progress_printer.h"
#include "app/cli/status_text.h"
#include "app/cli/transfer_estimate.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"

namespace {

TEST(TransferEstimate, RateAndTimeLeftFromTheFirstTransferPercentage) {
    TransferEstimate estimate(1000000);
    estimate.Sample(0, 0.0);   // before the transfer: not a baseline
    EXPECT_EQ(estimate.BytesPerSecond(), 0);
    EXPECT_LT(estimate.SecondsLeft(), 0);
    estimate.Sample(10, 5.0);  // the mode switch took 5 s
    EXPECT_EQ(estimate.BytesPerSecond(), 0);
    estimate.Sample(30, 7.0);  // 200000 bytes in 2 s
    EXPECT_DOUBLE_EQ(estimate.BytesPerSecond(), 100000.0);
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(), 7.0);
    estimate.Sample(100, 14.0);
    EXPECT_DOUBLE_EQ(estimate.SecondsLeft(), 0.0);
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
    EXPECT_EQ(StatusLineText(STATUS_ERR_NOT_DIAG, text), "[0xF15] text " + std::to_string(lang::IDS_ERR_MODE));
    EXPECT_EQ(StatusLineText(0x1234, text), "[0x1234]");
    EXPECT_EQ(StatusLineText(STATUS_DONE, [](unsigned) { return std::string(); }), "[0x065]");
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

TEST(ProgressPrinter, PlainLinesUseTheLibraryText) {
    const std::string text = Printed([](ProgressPrinter& p) { p.Show(0); p.Show(42); p.Show(100); }, false,
                                     "Downloading: %d%% done");
    EXPECT_EQ(text, "Downloading: 0% done\nDownloading: 42% done\nDownloading: 100% done\n");
}

TEST(ProgressPrinter, TerminalRedrawsOneLineAndEndsIt) {
    const std::string text = Printed([](ProgressPrinter& p) { p.Show(10); p.Show(20); p.End(); p.End(); }, true, "");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_NE(text.find("20%"), std::string::npos);
}

}  // namespace
