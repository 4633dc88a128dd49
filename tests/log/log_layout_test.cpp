// SPDX-License-Identifier: Apache-2.0
// The text of log lines: layouts, tags, the time field, size limits, hex dumps, system errors.
#include <cerrno>

#include "log_test_support.h"
#include "platform/local_time.h"

namespace logtest {
namespace {

// "<!ER>" TAB time TAB: what comes before the message of a plain line.
constexpr size_t kPlainPrefix = 5 + 1 + 23 + 1;
constexpr size_t kLineMax = 4096;

class LogLayoutTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        Open(5);
    }
    // Closes the log and returns its body lines (time fields masked).
    std::vector<std::string> Written() {
        LogClose();
        return BodyLines();
    }
    // Closes the log and returns the exact text between the header and the footer blocks.
    std::string RawBody() {
        LogClose();
        std::string text = LogText();
        const std::string start = "*... Start ...\r\n";
        size_t from = text.find(start);
        size_t footer = text.rfind("*...End....");
        size_t to = footer == std::string::npos ? std::string::npos : text.rfind("<NML>\t", footer);
        if (from == std::string::npos || to == std::string::npos || to < from + start.size()) return std::string();
        from += start.size();
        return text.substr(from, to - from);
    }
};

using Lines = std::vector<std::string>;

TEST_F(LogLayoutTest, PlainSourceAndPortLayouts) {
    EXPECT_EQ(LogWrite(LOG_ER, "TxRx failed with error code %X.", 0xF0000301u), 1);
    EXPECT_EQ(LogWriteSrc(LOG_WRN, "CDLOperator::DownloadFunc", "Block %d of %d.", 3, 7), 1);
    EXPECT_EQ(LogWritePort(LOG_ER, "COM3", "CSerCOMLibrary::TxRx", "Time out in OnRecv."), 1);
    // A source line has a space after the TAB that follows the source; a port line has none.
    EXPECT_EQ(Written(), (Lines{"<!ER>\t<time>\tTxRx failed with error code F0000301.",
                                "<WRN>\t<time>\tCDLOperator::DownloadFunc\t Block 3 of 7.",
                                "<!ER>\t<time>\tCOM3\tCSerCOMLibrary::TxRx\tTime out in OnRecv."}));
}

TEST_F(LogLayoutTest, EveryLineEndsWithCarriageReturnLineFeed) {
    LogWrite(LOG_DBG, "a");
    LogWriteSrc(LOG_DBG, "S", "b");
    LogWritePort(LOG_DBG, "P", "S", "c");
    std::string body = RawBody();
    std::string masked;
    for (const auto& line : SplitLines(body)) masked += MaskTime(line) + "|";
    EXPECT_EQ(masked, "<DBG>\t<time>\ta|<DBG>\t<time>\tS\t b|<DBG>\t<time>\tP\tS\tc|");
    EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 3);
    EXPECT_EQ(std::count(body.begin(), body.end(), '\r'), 3);
    EXPECT_EQ(body.substr(body.size() - 2), "\r\n");
}

TEST_F(LogLayoutTest, TagsOfEachLevel) {
    for (int32_t level : {0, 1, 2, 3, 4, 5, -7}) LogWrite(level, "%d", level);
    EXPECT_EQ(Written(), (Lines{"<NML>\t<time>\t0", "<!ER>\t<time>\t1", "\t<time>\t2", "<WRN>\t<time>\t3",
                                "\t<time>\t4", "<DBG>\t<time>\t5", "\t<time>\t-7"}));
}

TEST_F(LogLayoutTest, TimeFieldIsTheLocalTimeOfTheWrite) {
    auto stamp = [](const platform::LocalTime& t) {
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d:%03d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second, t.millisecond);
        return std::string(text);
    };
    std::string before = stamp(platform::Now());
    LogWrite(LOG_ER, "now");
    std::string after = stamp(platform::Now());
    LogClose();
    auto lines = SplitLines(LogText());
    ASSERT_EQ(lines.size(), 5u);
    std::string time = lines[2].substr(6, 23);
    EXPECT_EQ(lines[2], "<!ER>\t" + time + "\tnow");
    // Zero-padded fields order like the times they show.
    EXPECT_LE(before, time);
    EXPECT_LE(time, after);
}

TEST_F(LogLayoutTest, MissingTextsPrintAsEmptyColumns) {
    EXPECT_EQ(LogWriteSrc(LOG_ER, nullptr, "m"), 1);
    EXPECT_EQ(LogWritePort(LOG_ER, nullptr, nullptr, "m"), 1);
    EXPECT_EQ(Written(), (Lines{"<!ER>\t<time>\t\t m", "<!ER>\t<time>\t\t\tm"}));
}

TEST_F(LogLayoutTest, MissingFormatIsAnEmptyMessage) {
    const char* volatile none = nullptr;  // volatile: the compiler may not see the null
    EXPECT_EQ(LogWrite(LOG_ER, none), 1);
    EXPECT_EQ(LogWriteSrc(LOG_ER, "src", none), 1);
    EXPECT_EQ(Written(), (Lines{"<!ER>\t<time>\t", "<!ER>\t<time>\tsrc\t "}));
}

TEST_F(LogLayoutTest, LineCutAfterItsFourThousandNinetySixthCharacter) {
    // Message sizes around the limit: the whole line including CR LF is at most 4096 characters.
    const size_t fitting = kLineMax - kPlainPrefix - 2;
    LogWrite(LOG_ER, "%s", std::string(fitting, 'a').c_str());      // exactly 4096 with CR LF
    LogWrite(LOG_ER, "%s", std::string(fitting + 1, 'b').c_str());  // CR is the 4096th
    LogWrite(LOG_ER, "%s", std::string(fitting + 2, 'c').c_str());  // no line end at all
    LogWrite(LOG_ER, "%s", std::string(20000, 'd').c_str());        // past the message limit
    LogWrite(LOG_ER, "after");
    std::string body = RawBody();
    std::string expected = MaskTime("<!ER>\t2000-01-01 00:00:00:000\t");
    ASSERT_EQ(body.size(), 4 * kLineMax + kPlainPrefix + 7);
    EXPECT_EQ(body.substr(0, kLineMax), body.substr(0, kPlainPrefix) + std::string(fitting, 'a') + "\r\n");
    EXPECT_EQ(body.substr(kLineMax + kPlainPrefix, kLineMax - kPlainPrefix), std::string(fitting + 1, 'b') + "\r");
    EXPECT_EQ(body.substr(2 * kLineMax + kPlainPrefix, kLineMax - kPlainPrefix), std::string(fitting + 2, 'c'));
    EXPECT_EQ(body.substr(3 * kLineMax + kPlainPrefix, kLineMax - kPlainPrefix), std::string(fitting + 2, 'd'));
    EXPECT_EQ(MaskTime(body.substr(4 * kLineMax)), "<!ER>\t<time>\tafter\r\n");
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(MaskTime(body.substr(i * kLineMax, kPlainPrefix)), expected) << i;
}

TEST_F(LogLayoutTest, LongSourceAndPortColumnsAreCutWithTheLine) {
    std::string source(5000, 's');
    LogWriteSrc(LOG_ER, source.c_str(), "message lost");
    LogWritePort(LOG_ER, "COM1", source.c_str(), "message lost");
    LogWriteSrc(LOG_ER, "S", "%s", std::string(8000, 'm').c_str());
    std::string body = RawBody();
    ASSERT_EQ(body.size(), 3 * kLineMax);
    EXPECT_EQ(body.substr(kPlainPrefix, kLineMax - kPlainPrefix), source.substr(0, kLineMax - kPlainPrefix));
    EXPECT_EQ(body.substr(kLineMax + kPlainPrefix, kLineMax - kPlainPrefix),
              "COM1\t" + source.substr(0, kLineMax - kPlainPrefix - 5));
    EXPECT_EQ(body.substr(2 * kLineMax + kPlainPrefix, kLineMax - kPlainPrefix),
              "S\t " + std::string(kLineMax - kPlainPrefix - 3, 'm'));
}

TEST_F(LogLayoutTest, DumpOfThreeBytes) {
    const unsigned char bytes[] = {0x00, 0x7E, 0xAB};
    EXPECT_EQ(LogDump(LOG_DBG, bytes, 3), 1);
    EXPECT_EQ(LogDumpPort(LOG_DBG, "COM3", "CSerCOMLibrary::OnEvent", bytes, 3), 1);
    EXPECT_EQ(Written(),
              (Lines{"<DBG>\t<time>\tThe 3 bytes buffer content is: 00 7E AB ",
                     "<DBG>\t<time>\tCOM3\tCSerCOMLibrary::OnEvent\tThe 3 bytes buffer content is: 00 7E AB "}));
}

TEST_F(LogLayoutTest, DumpOfNothing) {
    EXPECT_EQ(LogDump(LOG_DBG, "", 0), 1);
    EXPECT_EQ(LogDump(LOG_DBG, nullptr, 16), 1);  // no buffer: nothing to show
    EXPECT_EQ(LogDump(LOG_DBG, "abc", -3), 1);    // a negative count is no bytes
    EXPECT_EQ(LogDumpPort(LOG_DBG, "COM3", "S", "", 0), 1);
    EXPECT_EQ(Written(),
              (Lines{"<DBG>\t<time>\tThe 0 bytes buffer content is: ", "<DBG>\t<time>\tThe 0 bytes buffer content is: ",
                     "<DBG>\t<time>\tThe 0 bytes buffer content is: ",
                     "<DBG>\t<time>\tCOM3\tS\tThe 0 bytes buffer content is: "}));
}

TEST_F(LogLayoutTest, DumpOfFiveThousandBytesReportsFourThousandNinetySixAndIsCutAtTheLineLimit) {
    std::vector<unsigned char> bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    EXPECT_EQ(LogDump(LOG_DBG, bytes.data(), 5000), 1);
    EXPECT_EQ(LogDumpPort(LOG_DBG, "COM3", "S", bytes.data(), 5000), 1);
    std::string body = RawBody();
    ASSERT_EQ(body.size(), 2 * kLineMax);  // both lines cut, without line ends
    std::string hex;
    for (size_t i = 0; i < 4096; ++i) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", bytes[i]);
        hex += two;
    }
    std::string plain = "The 4096 bytes buffer content is: " + hex;
    std::string port = "COM3\tS\t" + plain;
    EXPECT_EQ(body.substr(kPlainPrefix, kLineMax - kPlainPrefix), plain.substr(0, kLineMax - kPlainPrefix));
    EXPECT_EQ(body.substr(kLineMax + kPlainPrefix, kLineMax - kPlainPrefix), port.substr(0, kLineMax - kPlainPrefix));
}

TEST_F(LogLayoutTest, SystemErrorLines) {
    EXPECT_EQ(LogSysError(ENOENT), 1);
    EXPECT_EQ(LogSysErrorPort("COM3", "CSerialIO::Open", EACCES), 1);
    EXPECT_EQ(Written(),
              (Lines{"<!ER>\t<time>\tThe system error number [2] --> No such file or directory",
                     "<!ER>\t<time>\tCOM3\tCSerialIO::Open\tThe system error number [13] --> Permission denied"}));
}

TEST_F(LogLayoutTest, SystemErrorWithoutATextWritesNothing) {
    EXPECT_EQ(LogSysError(987654), 1);
    EXPECT_EQ(LogSysErrorPort("COM3", "S", -4), 1);
    EXPECT_EQ(Written(), Lines{});
}

TEST_F(LogLayoutTest, FormatDirectivesInArgumentsAreNotInterpreted) {
    LogWriteSrc(LOG_ER, "%s%n%s", "%s", "%s%n%d");
    LogWritePort(LOG_ER, "%n", "%s", "ok");
    EXPECT_EQ(Written(), (Lines{"<!ER>\t<time>\t%s%n%s\t %s%n%d", "<!ER>\t<time>\t%n\t%s\tok"}));
}

class LogFilterTest : public LogTest {};

TEST_F(LogFilterTest, FilteredOperationsWriteNothing) {
    Open(LOG_WRN);
    const unsigned char bytes[] = {1, 2};
    EXPECT_EQ(LogWrite(LOG_DBG, "x"), 0);
    EXPECT_EQ(LogWriteSrc(LOG_DBG, "S", "x"), 0);
    EXPECT_EQ(LogWritePort(LOG_DBG, "P", "S", "x"), 0);
    EXPECT_EQ(LogDump(LOG_DBG, bytes, 2), 0);
    EXPECT_EQ(LogDumpPort(LOG_DBG, "P", "S", bytes, 2), 1);  // reports only that the log is open
    LogClose();
    EXPECT_TRUE(BodyLines().empty());
}

TEST_F(LogFilterTest, SystemErrorsAreErrorLevelLines) {
    Open(LOG_NML);
    EXPECT_EQ(LogSysError(ENOENT), 1);
    EXPECT_EQ(LogSysErrorPort("P", "S", ENOENT), 1);
    LogClose();
    EXPECT_TRUE(BodyLines().empty());
}

}  // namespace
}  // namespace logtest
