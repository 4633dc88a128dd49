// SPDX-License-Identifier: Apache-2.0
// ReadOnlyFile: open, length, seeks from either end, reads that stop at the end of the file.
#include "platform/read_only_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "test_support.h"

namespace platform {
namespace {

class ReadOnlyFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = test::MakeScratchFolder("vexlor-rofile-");
        ASSERT_FALSE(m_dir.empty());
        m_path = (m_dir / "data.bin").string();
        std::ofstream(m_path, std::ios::binary) << "0123456789";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
    std::string m_path;
};

TEST_F(ReadOnlyFileTest, ClosedFileRefusesEverything) {
    ReadOnlyFile file;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Length(), -1);
    EXPECT_FALSE(file.SeekFromStart(0));
    EXPECT_FALSE(file.SeekFromEnd(0));
    char buffer[4];
    EXPECT_EQ(file.Read(buffer, sizeof buffer), -1);
    EXPECT_FALSE(file.Open((m_dir / "absent").string()));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(ReadOnlyFileTest, ReadsMoveThePositionAndStopAtTheEnd) {
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(m_path));
    EXPECT_EQ(file.Path(), m_path);
    EXPECT_EQ(file.Length(), 10);
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(file.Position(), 4);
    EXPECT_EQ(file.Read(buffer, 8), 6);  // short read at the end
    EXPECT_EQ(std::string(buffer, 6), "456789");
    EXPECT_EQ(file.Position(), 10);
    EXPECT_EQ(file.Read(buffer, 8), 0);
    EXPECT_EQ(file.Position(), 10);
}

TEST_F(ReadOnlyFileTest, SeeksFromStartAndEnd) {
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(m_path));
    char buffer[4] = {};
    ASSERT_TRUE(file.SeekFromEnd(-3));
    EXPECT_EQ(file.Position(), 7);
    EXPECT_EQ(file.Read(buffer, 4), 3);
    EXPECT_EQ(std::string(buffer, 3), "789");
    EXPECT_FALSE(file.SeekFromEnd(-11));  // before the start: refused, position kept
    EXPECT_EQ(file.Position(), 10);
    EXPECT_FALSE(file.SeekFromStart(-1));
    ASSERT_TRUE(file.SeekFromStart(2));
    EXPECT_EQ(file.Read(buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "23");
    ASSERT_TRUE(file.SeekFromStart(50));  // past the end is allowed and reads nothing
    EXPECT_EQ(file.Read(buffer, 2), 0);
}

TEST_F(ReadOnlyFileTest, ReadAtLeavesThePositionAlone) {
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(m_path));
    ASSERT_TRUE(file.SeekFromStart(1));
    char buffer[4] = {};
    EXPECT_EQ(file.ReadAt(6, buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(file.ReadAt(8, buffer, 4), 2);
    EXPECT_EQ(file.ReadAt(-1, buffer, 4), -1);
    EXPECT_EQ(file.Position(), 1);
}

TEST_F(ReadOnlyFileTest, ReopenAndClose) {
    std::string other = (m_dir / "other.bin").string();
    std::ofstream(other, std::ios::binary) << "ab";
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(m_path));
    ASSERT_TRUE(file.SeekFromStart(5));
    ASSERT_TRUE(file.Open(other));
    EXPECT_EQ(file.Position(), 0);
    EXPECT_EQ(file.Length(), 2);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.Path().empty());
}

TEST_F(ReadOnlyFileTest, FileThatGrowsShowsItsNewLength) {
    ReadOnlyFile file;
    ASSERT_TRUE(file.Open(m_path));
#ifdef _WIN32
    // Windows shares the file for reading only: nobody changes what is being read.
    EXPECT_FALSE(std::ofstream(m_path, std::ios::binary | std::ios::app).is_open());
    EXPECT_EQ(file.Length(), 10);
    file.Close();
    ASSERT_TRUE(std::ofstream(m_path, std::ios::binary | std::ios::app).is_open());
    ASSERT_TRUE(file.Open(m_path));
    {
        ReadOnlyFile other;  // other readers are welcome
        EXPECT_TRUE(other.Open(m_path));
    }
#else
    std::ofstream(m_path, std::ios::binary | std::ios::app) << "ab";
    EXPECT_EQ(file.Length(), 12);
    char buffer[2];
    EXPECT_EQ(file.ReadAt(10, buffer, 2), 2);
#endif
}

}  // namespace
}  // namespace platform
