// SPDX-License-Identifier: Apache-2.0
// Many threads writing at once, and closing the log while they write.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "log/log_file.h"
#include "log_test_support.h"

namespace logtest {
namespace {

// What a writer thread writes: its number and a running count, padded so that lines are long
// enough for a torn write to show.
int32_t WriteNumbered(int thread, int index) {
    static const std::string padding(300, 'p');
    switch (index % 3) {
    case 0: return LogWrite(LOG_WRN, "t%d n%d %s", thread, index, padding.c_str());
    case 1: return LogWriteSrc(LOG_WRN, "Writer::Run", "t%d n%d %s", thread, index, padding.c_str());
    default: return LogWritePort(LOG_WRN, "COM9", "Writer::Run", "t%d n%d %s", thread, index, padding.c_str());
    }
}

// Reads "t<thread> n<index> " followed by exactly 300 'p' from a line's message; false otherwise.
bool ParseNumbered(const std::string& message, int& thread, int& index) {
    int used = 0;
    if (std::sscanf(message.c_str(), "t%d n%d %n", &thread, &index, &used) != 2 || used == 0) return false;
    return message.substr(static_cast<size_t>(used)) == std::string(300, 'p');
}

// Checks every body line is one whole numbered line; returns how many came from each thread.
std::vector<int> CountWholeLines(const std::vector<std::string>& body, int threads) {
    const std::vector<std::string> columns = {"<WRN>\t<time>\t", "<WRN>\t<time>\tWriter::Run\t ",
                                              "<WRN>\t<time>\tCOM9\tWriter::Run\t"};
    std::vector<int> perThread(threads, 0);
    std::vector<int> lastIndex(threads, -1);
    for (const auto& line : body) {
        int thread = -1, index = -1;
        bool whole = false;
        for (size_t layout = 0; layout < columns.size() && !whole; ++layout) {
            whole = line.rfind(columns[layout], 0) == 0 &&
                    ParseNumbered(line.substr(columns[layout].size()), thread, index) &&
                    index % 3 == static_cast<int>(layout);
        }
        if (!whole || thread < 0 || thread >= threads) {
            ADD_FAILURE() << "torn or foreign line: " << line.substr(0, 120);
            continue;
        }
        // One thread's lines reach the file in the order it wrote them.
        EXPECT_GT(index, lastIndex[thread]);
        lastIndex[thread] = index;
        ++perThread[thread];
    }
    return perThread;
}

TEST_F(LogTest, LinesFromManyThreadsArriveWhole) {
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 2000;
    Open(LOG_DBG);
    std::vector<std::thread> writers;
    std::atomic<int> written{0};
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t, &written] {
            for (int i = 0; i < kLinesEach; ++i) written += WriteNumbered(t, i);
        });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(written.load(), kThreads * kLinesEach);
    LogClose();
    auto perThread = CountWholeLines(BodyLines(), kThreads);
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(perThread[t], kLinesEach) << "thread " << t;
}

TEST_F(LogTest, CloseWhileOthersWriteNeverWritesToAClosedDescriptor) {
    constexpr int kThreads = 6;
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        Open(LOG_DBG, 1);
        std::atomic<bool> stop{false};
        std::atomic<int> started{0};
        std::atomic<int> written{0};
        std::vector<std::thread> writers;
        for (int t = 0; t < kThreads; ++t) {
            writers.emplace_back([t, &stop, &started, &written] {
                ++started;
                for (int i = 0; !stop.load(); ++i) written += WriteNumbered(t, i);
            });
        }
        while (started.load() < kThreads) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        LogClose();
        // Descriptors freed by the close are handed out again at once: none of these files
        // may receive a line meant for the closed log.
        std::vector<int> reused;
        for (int i = 0; i < 8; ++i) {
            std::string path = (m_dir / ("other" + std::to_string(i))).string();
            reused.push_back(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        stop = true;
        for (auto& writer : writers) writer.join();
        for (size_t i = 0; i < reused.size(); ++i) {
            ASSERT_GE(reused[i], 0);
            struct stat st {};
            ASSERT_EQ(::fstat(reused[i], &st), 0);
            EXPECT_EQ(st.st_size, 0) << "a log line went to a reused descriptor";
            ::close(reused[i]);
            std::filesystem::remove(m_dir / ("other" + std::to_string(i)));
        }
        // Every write that reported success is in the file, whole; the footer closes it.
        auto perThread = CountWholeLines(BodyLines(), kThreads);
        int total = 0;
        for (int count : perThread) total += count;
        EXPECT_EQ(total, written.load());
        auto lines = SplitLines(LogText());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(MaskTime(lines.back()), "<NML>\t<time>\t" + kStars);
        EXPECT_EQ(LogWrite(LOG_ER, "after close"), 0);
        std::filesystem::remove(LogFiles()[0]);
    }
}

TEST(LogFileTest, CloseWaitsForWritesInFlight) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexlor-logfile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    std::filesystem::path dir = pattern;
    std::string path = (dir / "file.log").string();
    const std::string line = std::string(1000, 'x') + "\r\n";
    for (int round = 0; round < 20; ++round) {
        diaglog::LogFile file;
        ASSERT_TRUE(file.Open(path.c_str(), false));
        std::atomic<int> accepted{0};
        std::vector<std::thread> writers;
        for (int t = 0; t < 4; ++t) {
            writers.emplace_back([&] {
                while (file.Write(line.data(), line.size(), false)) ++accepted;
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        file.Close();
        for (auto& writer : writers) writer.join();
        EXPECT_FALSE(file.IsOpen());
        // Exactly the accepted writes reached the file, each whole.
        std::string text = ReadWhole(path);
        EXPECT_EQ(text.size(), accepted.load() * line.size());
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), accepted.load());
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace logtest
