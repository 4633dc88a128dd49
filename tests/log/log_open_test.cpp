// SPDX-License-Identifier: Apache-2.0
// Opening and closing the log: the settings, the file name, levels, append and truncate, sharing.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "log/log_file.h"
#include "log/log_settings.h"
#include "log_test_support.h"
#include "platform/local_time.h"

namespace logtest {
namespace {

using ::testing::ElementsAre;

// Every write operation, as the rest of the tool calls them; the number that returned 1.
int WriteOneOfEach() {
    const unsigned char bytes[] = {1, 2, 3};
    return LogWrite(LOG_ER, "plain") + LogWriteSrc(LOG_ER, "C::F", "src") +
           LogWritePort(LOG_ER, "COM3", "C::F", "port") + LogDump(LOG_ER, bytes, 3) +
           LogDumpPort(LOG_ER, "COM3", "C::F", bytes, 3) + LogSysError(2) + LogSysErrorPort("COM3", "C::F", 2);
}

TEST_F(LogTest, MissingKeyMeansNoLogAndEveryWriteReturnsZero) {
    std::ofstream(m_settings) << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"Level\"=dword:00000005\n"
                                 "[HKEY_CURRENT_USER\\SOFTWARE\\Vexlor]\n\"Level\"=dword:00000005\n";
    EXPECT_EQ(LogOpen(kKey), LOGERR_NO_KEY);
    EXPECT_EQ(WriteOneOfEach(), 0);
    EXPECT_FALSE(LogEnabled(LOG_NML));
    EXPECT_EQ(LogClose(), 1);
    EXPECT_TRUE(LogFiles().empty());
}

TEST_F(LogTest, MissingSettingsFileMeansNoLog) {
    // VEXLOR_REGISTRY names a file that does not exist: no other place is searched.
    EXPECT_EQ(LogOpen(kKey), LOGERR_NO_KEY);
    EXPECT_EQ(WriteOneOfEach(), 0);
    EXPECT_TRUE(LogFiles().empty());
}

TEST_F(LogTest, NullKeyPathIsAMissingKey) {
    WriteSettings(5, 0);
    EXPECT_EQ(LogOpen(nullptr), LOGERR_NO_KEY);
    EXPECT_TRUE(LogFiles().empty());
}

TEST_F(LogTest, LevelMinusOneSwitchesTheLogOffWithoutAFile) {
    WriteSettings(-1, 0);
    EXPECT_EQ(LogOpen(kKey), 1);
    EXPECT_EQ(WriteOneOfEach(), 0);
    EXPECT_EQ(LogWrite(-5, "below everything"), 0);
    EXPECT_TRUE(LogFiles().empty());
}

TEST_F(LogTest, LevelMinusTwoOpensAndEmptiesTheFileButWritesNothing) {
    std::string name = *diaglog::LogFileName(App(), platform::Now());
    std::ofstream(name) << "yesterday's run\r\n";
    WriteSettings(-2, 0);
    ASSERT_EQ(LogOpen(kKey), 1);
    EXPECT_EQ(LogWrite(LOG_NML, "n"), 0);
    EXPECT_EQ(LogWrite(-2, "at the level itself"), 1);  // a line at or below the level still passes
    EXPECT_EQ(LogDump(LOG_ER, "x", 1), 0);
    // These report only whether the log is open.
    EXPECT_EQ(LogDumpPort(LOG_ER, "COM1", "C::F", "x", 1), 1);
    EXPECT_EQ(LogSysError(2), 1);
    EXPECT_EQ(LogSysErrorPort("COM1", "C::F", 2), 1);
    LogClose();
    EXPECT_EQ(MaskTime(LogText()), "\t<time>\tat the level itself\r\n");
}

TEST_F(LogTest, HeaderAndFooterBlocks) {
    Open(1);
    LogClose();
    std::vector<std::string> masked;
    for (const auto& line : SplitLines(LogText())) masked.push_back(MaskTime(line));
    EXPECT_THAT(masked, ElementsAre("<NML>\t<time>\t" + kStars, "<NML>\t<time>\t*... Start ...",
                                    "<NML>\t<time>\t*...End....", "<NML>\t<time>\t" + kStars));
    EXPECT_EQ(LogText().back(), '\n');
}

TEST_F(LogTest, FileNameIsAppTextAndLocalDate) {
    platform::LocalTime before = platform::Now();
    Open(1);
    platform::LocalTime after = platform::Now();
    auto files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    char expectBefore[64], expectAfter[64];
    std::snprintf(expectBefore, sizeof expectBefore, "t%04d%02d%02d.log", before.year, before.month, before.day);
    std::snprintf(expectAfter, sizeof expectAfter, "t%04d%02d%02d.log", after.year, after.month, after.day);
    std::string name = files[0].filename().string();
    EXPECT_TRUE(name == expectBefore || name == expectAfter) << name;
}

TEST_F(LogTest, AppTextIsAFolderOrAPrefix) {
    std::filesystem::create_directory(m_dir / "logs");
    WriteSettings("\"Level\"=dword:00000001\r\n\"App\"=\"" + (m_dir / "logs").string() + "/pre_\"\r\n");
    ASSERT_EQ(LogOpen(kKey), 1);
    LogClose();
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir / "logs")) {
        EXPECT_EQ(entry.path().filename().string().rfind("pre_", 0), 0u);
        EXPECT_EQ(entry.path().filename().string().size(), std::string("pre_20050307.log").size());
        ++found;
    }
    EXPECT_EQ(found, 1);
}

TEST_F(LogTest, AbsentValuesKeepTheirDefaults) {
    // No values at all: level 1, truncate, and a file named by the date alone in the current folder.
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(m_dir);
    WriteSettings(std::string());
    EXPECT_EQ(LogOpen(kKey), 1);
    EXPECT_TRUE(LogEnabled(LOG_ER));
    EXPECT_FALSE(LogEnabled(LOG_WRN));
    LogClose();
    std::filesystem::current_path(cwd);
    auto files = LogFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string().size(), std::string("20050307.log").size());
}

TEST_F(LogTest, ValueOfTheWrongTypeCountsAsAbsent) {
    WriteSettings("\"Level\"=\"5\"\r\n\"App\"=dword:00000001\r\n\"App\"=\"" + App() + "\"\r\n");
    ASSERT_EQ(LogOpen(kKey), 1);
    EXPECT_TRUE(LogEnabled(LOG_ER));
    EXPECT_FALSE(LogEnabled(LOG_WRN));
}

TEST_F(LogTest, LevelFilter) {
    struct Case {
        int32_t level;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {0, {}},
        {1, {"<!ER>\t<time>\tE"}},
        {3, {"<!ER>\t<time>\tE", "<WRN>\t<time>\tW"}},
        {5, {"<!ER>\t<time>\tE", "<WRN>\t<time>\tW", "<DBG>\t<time>\tD"}},
        {7, {"<!ER>\t<time>\tE", "<WRN>\t<time>\tW", "<DBG>\t<time>\tD", "\t<time>\tsix"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        Open(c.level);
        int written = LogWrite(LOG_ER, "E") + LogWrite(LOG_WRN, "W") + LogWrite(LOG_DBG, "D") + LogWrite(6, "six");
        EXPECT_EQ(written, static_cast<int>(c.lines.size()));
        EXPECT_TRUE(LogEnabled(LOG_NML));
        EXPECT_EQ(LogEnabled(LOG_DBG), c.level >= 5);
        LogClose();
        EXPECT_EQ(BodyLines(), c.lines);
        // With level 0 only the header and footer are there.
        EXPECT_EQ(SplitLines(LogText()).size(), c.lines.size() + 4);
    }
}

TEST_F(LogTest, AppendOptionZeroReplacesTheDaysFile) {
    Open(5, 0);
    LogWrite(LOG_WRN, "first run");
    LogClose();
    Open(5, 0);
    LogWrite(LOG_WRN, "second run");
    LogClose();
    EXPECT_EQ(BodyLines(), std::vector<std::string>{"<WRN>\t<time>\tsecond run"});
    EXPECT_EQ(SplitLines(LogText()).size(), 5u);
}

TEST_F(LogTest, AppendOptionAddsANewHeaderBlockAfterTheOldFooter) {
    Open(5, 1);
    LogWrite(LOG_WRN, "first run");
    LogClose();
    Open(5, 0x80000000u);  // any non-zero value appends
    LogWrite(LOG_WRN, "second run");
    LogClose();
    std::vector<std::string> masked;
    for (const auto& line : SplitLines(LogText())) masked.push_back(MaskTime(line));
    const std::string stars = "<NML>\t<time>\t" + kStars;
    EXPECT_THAT(masked, ElementsAre(stars, "<NML>\t<time>\t*... Start ...", "<WRN>\t<time>\tfirst run",
                                    "<NML>\t<time>\t*...End....", stars, stars, "<NML>\t<time>\t*... Start ...",
                                    "<WRN>\t<time>\tsecond run", "<NML>\t<time>\t*...End....", stars));
}

TEST_F(LogTest, SecondOpenClosesTheFirstLogProperly) {
    Open(5, 1);
    LogWrite(LOG_WRN, "one");
    Open(5, 1);
    LogClose();
    auto lines = SplitLines(LogText());
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(MaskTime(lines[3]), "<NML>\t<time>\t*...End....");
}

TEST_F(LogTest, WritesAfterCloseReturnZero) {
    Open(5);
    EXPECT_EQ(WriteOneOfEach(), 7);
    LogClose();
    EXPECT_EQ(WriteOneOfEach(), 0);
    EXPECT_EQ(LogClose(), 1);
    EXPECT_EQ(BodyLines().size(), 7u);
}

TEST_F(LogTest, AppTextTooLongForTheFileNameIsRefused) {
    // 87 characters plus "YYYYMMDD.log" and the terminator fill the 100 exactly.
    std::string fits = App() + std::string(87 - App().size(), 'a');
    WriteSettings("\"Level\"=dword:00000001\r\n\"App\"=\"" + fits + "\"\r\n");
    EXPECT_EQ(LogOpen(kKey), 1);
    LogClose();
    EXPECT_EQ(LogFiles().size(), 1u);
    std::filesystem::remove(LogFiles()[0]);

    WriteSettings("\"Level\"=dword:00000001\r\n\"App\"=\"" + fits + "a\"\r\n");
    EXPECT_EQ(LogOpen(kKey), LOGERR_OPEN_FILE);
    EXPECT_EQ(LogWrite(LOG_ER, "x"), 0);
    EXPECT_TRUE(LogFiles().empty());
}

TEST_F(LogTest, FileThatCannotBeOpenedGivesTheError) {
    WriteSettings("\"Level\"=dword:00000001\r\n\"App\"=\"" + (m_dir / "no-such-folder").string() + "/\"\r\n");
    EXPECT_EQ(LogOpen(kKey), LOGERR_OPEN_FILE);
    EXPECT_EQ(LogWrite(LOG_ER, "x"), 0);
    EXPECT_FALSE(LogEnabled(LOG_NML));
}

TEST_F(LogTest, DirectoryInPlaceOfTheFileIsRefused) {
    std::filesystem::create_directory(*diaglog::LogFileName(App(), platform::Now()));
    WriteSettings(1, 1);
    EXPECT_EQ(LogOpen(kKey), LOGERR_OPEN_FILE);
}

TEST_F(LogTest, AppendingRefusesAFileAnotherWriterHolds) {
    // Another holder that lets others write (a shared lock) keeps an appending log out,
    // and an appending log's exclusive lock keeps a second writer out without emptying the file.
    std::string name = *diaglog::LogFileName(App(), platform::Now());
    int other = ::open(name.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_SH), 0);
    WriteSettings(5, 1);
    EXPECT_EQ(LogOpen(kKey), LOGERR_OPEN_FILE);
    ::close(other);

    Open(5, 1);
    LogWrite(LOG_WRN, "kept");
    diaglog::LogFile second;
    EXPECT_FALSE(second.Open(name.c_str(), false));
    EXPECT_FALSE(second.Open(name.c_str(), true));
    LogClose();
    EXPECT_EQ(BodyLines(), std::vector<std::string>{"<WRN>\t<time>\tkept"});
}

TEST_F(LogTest, TruncatingLogsShareTheFile) {
    Open(5, 0);
    std::string name = *diaglog::LogFileName(App(), platform::Now());
    diaglog::LogFile second;
    EXPECT_TRUE(second.Open(name.c_str(), false));
    second.Close();
    EXPECT_EQ(LogWrite(LOG_WRN, "still open"), 1);
    LogClose();
    EXPECT_EQ(BodyLines(), std::vector<std::string>{"<WRN>\t<time>\tstill open"});
}

TEST_F(LogTest, TruncatingOpenEmptiesOnlyAFileNobodyElseHolds) {
    // flock locks belong to the open file description: two LogFile objects act as two processes.
    const std::string path = (m_dir / "shared.log").string();
    std::ofstream(path) << "yesterday\r\n";
    diaglog::LogFile first, second, third;
    ASSERT_TRUE(first.Open(path.c_str(), false));
    EXPECT_EQ(ReadWhole(path), "");  // alone: the day's file starts empty
    first.Write("one\r\n", 5, false);
    ASSERT_TRUE(second.Open(path.c_str(), false));
    second.Write("two\r\n", 5, false);
    first.Write("three\r\n", 7, false);
    EXPECT_EQ(ReadWhole(path), "one\r\ntwo\r\nthree\r\n");
    first.Close();
    ASSERT_TRUE(third.Open(path.c_str(), false));  // second still writes it
    EXPECT_EQ(ReadWhole(path), "one\r\ntwo\r\nthree\r\n");
    second.Close();
    third.Close();
    ASSERT_TRUE(first.Open(path.c_str(), false));
    EXPECT_EQ(ReadWhole(path), "");
}

TEST_F(LogTest, SecondCopyWithAppendOptionZeroKeepsTheRunningCopysLines) {
    WriteSettings(5, 0);
    std::ofstream(*diaglog::LogFileName(App(), platform::Now())) << "yesterday's run\r\n";
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // the running copy
        ::close(ready[0]);
        ::close(release[1]);
        char c = LogOpen(kKey) == 1 && LogWrite(LOG_WRN, "first copy") == 1 ? '1' : '0';
        if (::write(ready[1], &c, 1) != 1) ::_exit(2);
        if (::read(release[0], &c, 1) < 0) ::_exit(2);  // end of file too: the test is over
        LogWrite(LOG_WRN, "first copy again");
        LogClose();
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char c = 0;
    bool childReady = ::read(ready[0], &c, 1) == 1 && c == '1';
    int32_t opened = childReady ? LogOpen(kKey) : 0;
    LogWrite(LOG_WRN, "second copy");
    ::close(release[1]);  // lets the first copy go on and end
    ::close(ready[0]);
    int status = -1;
    ::waitpid(child, &status, 0);
    LogClose();
    ASSERT_TRUE(childReady);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_THAT(BodyLines(), ElementsAre("<WRN>\t<time>\tfirst copy", "<WRN>\t<time>\tsecond copy",
                                         "<WRN>\t<time>\tfirst copy again"));
    EXPECT_EQ(LogText().find("yesterday"), std::string::npos);  // the first copy found it alone
}

}  // namespace
}  // namespace logtest
