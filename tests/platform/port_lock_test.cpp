// SPDX-License-Identifier: Apache-2.0
// The machine-wide port lock on Linux: the serial lock file as other programs see it, the uses
// inside one process sharing it, and the files others leave (held, stale, half written).
#include "platform/port_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_support.h"

namespace platform {
namespace {

class PortLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = test::MakeScratchFolder("vexlor-lock-");
        ASSERT_FALSE(m_folder.empty());
        test::SetEnv("VEXLOR_LOCK_DIR", m_folder.string());
        device = (m_folder / "ttyUSB7").string();
        std::ofstream(device).put('\n');
        lockFile = (m_folder / "LCK..ttyUSB7").string();
    }
    void TearDown() override {
        unsetenv("VEXLOR_LOCK_DIR");
        std::filesystem::remove_all(m_folder);
    }
    static std::string Read(const std::string& path) {
        std::ostringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }
    void WriteLock(const std::string& text) const { std::ofstream(lockFile, std::ios::trunc) << text; }

    std::string device, lockFile;

private:
    std::filesystem::path m_folder;
};

std::string PidLine(int pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

TEST_F(PortLockTest, RunAndLineShareOneLockFileThatGoesWithTheLastUse) {
    EXPECT_EQ(PortLock::LockName(device, "COM7"), lockFile);
    PortLock run, line;
    ASSERT_EQ(run.Take(device, "COM7", PortLock::Use::kRun), PortLock::Result::kTaken);
    // The form every program of the convention reads: ten digits and a newline, readable by all.
    EXPECT_EQ(Read(lockFile), PidLine(getpid()));
    struct stat st {};
    ASSERT_EQ(::stat(lockFile.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_EQ(line.Take(device, "", PortLock::Use::kLine), PortLock::Result::kTaken);
    line.Release();  // the line closes between two openings: the run keeps the port
    EXPECT_TRUE(std::filesystem::exists(lockFile));
    ASSERT_EQ(line.Take(device, "", PortLock::Use::kLine), PortLock::Result::kTaken);
    run.Release();
    EXPECT_TRUE(line.Taken());
    line.Release();
    EXPECT_FALSE(std::filesystem::exists(lockFile));
    // No temporary file left beside it: the folder holds the made-up device alone.
    const auto entries = std::distance(std::filesystem::directory_iterator(std::filesystem::path(device).parent_path()),
                                       std::filesystem::directory_iterator{});
    EXPECT_EQ(entries, 1);
}

TEST_F(PortLockTest, AnotherProgramKeepsTheLineOffWhileTheRunWaitsAndThenKeepsThePort) {
    // The parent process (the test runner) stands for a terminal program holding the port.
    WriteLock(PidLine(getppid()));
    PortLock line;
    EXPECT_EQ(line.Take(device, "", PortLock::Use::kLine), PortLock::Result::kHeld);
    ASSERT_TRUE(line.HeldBy().has_value());
    EXPECT_EQ(line.HeldBy()->pid, getppid());
    EXPECT_FALSE(line.HeldByAnotherRun());
    EXPECT_FALSE(line.Registered());

    PortLock run;
    EXPECT_EQ(run.Take(device, "COM7", PortLock::Use::kRun), PortLock::Result::kHeld);
    EXPECT_TRUE(run.Registered());
    EXPECT_FALSE(run.Taken());
    EXPECT_EQ(Read(lockFile), PidLine(getppid()));  // theirs, untouched

    std::filesystem::remove(lockFile);  // the program lets go
    ASSERT_EQ(line.Take(device, "", PortLock::Use::kLine), PortLock::Result::kTaken);
    line.Release();
    EXPECT_TRUE(run.Taken()) << "the run keeps the port its line took";
    EXPECT_EQ(Read(lockFile), PidLine(getpid()));
    run.Release();
    EXPECT_FALSE(std::filesystem::exists(lockFile));
}

TEST_F(PortLockTest, ARunIsToldFromATerminalProgramByItsLockedFile) {
    WriteLock(PidLine(getppid()));
    // A run keeps its lock file open and locked; another open file stands for it here.
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    PortLock run;
    EXPECT_EQ(run.Take(device, "COM7", PortLock::Use::kRun), PortLock::Result::kHeld);
    EXPECT_TRUE(run.HeldByAnotherRun());
    ::close(fd);
    EXPECT_EQ(run.Take(device, "COM7", PortLock::Use::kRun), PortLock::Result::kHeld);
    EXPECT_FALSE(run.HeldByAnotherRun());

    // Our own file is locked from the moment it shows.
    std::filesystem::remove(lockFile);
    ASSERT_EQ(run.Take(device, "COM7", PortLock::Use::kRun), PortLock::Result::kTaken);
    const int probe = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    EXPECT_NE(::flock(probe, LOCK_SH | LOCK_NB), 0);
    ::close(probe);
}

TEST_F(PortLockTest, APortHasOneRunInThisProcessToo) {
    PortLock first, second;
    ASSERT_EQ(first.Take(device, "COM7", PortLock::Use::kRun), PortLock::Result::kTaken);
    EXPECT_EQ(second.Take(device, "COM7", PortLock::Use::kRun), PortLock::Result::kHeld);
    EXPECT_TRUE(second.HeldByAnotherRun());
    EXPECT_FALSE(second.Registered());
    first.Release();
    EXPECT_EQ(second.Take(device, "COM7", PortLock::Use::kRun), PortLock::Result::kTaken);
}

TEST_F(PortLockTest, ReleaseLeavesAFileThatIsNoLongerOurs) {
    PortLock run;
    ASSERT_EQ(run.Take(device, "", PortLock::Use::kRun), PortLock::Result::kTaken);
    WriteLock(PidLine(getppid()));  // removed and taken by another behind our back
    run.Release();
    EXPECT_EQ(Read(lockFile), PidLine(getppid()));
}

TEST_F(PortLockTest, StaleAndHalfWrittenFiles) {
    // A PID that is no process (beyond the kernel's largest) left a stale file: taken over.
    WriteLock(PidLine(2147483646));
    PortLock lock;
    EXPECT_EQ(lock.Take(device, "", PortLock::Use::kLine), PortLock::Result::kTaken);
    EXPECT_EQ(Read(lockFile), PidLine(getpid()));
    lock.Release();

    // An empty file just made is being written by its program: held, by nobody named.
    WriteLock("");
    EXPECT_EQ(lock.Take(device, "", PortLock::Use::kLine), PortLock::Result::kHeld);
    EXPECT_FALSE(lock.HeldBy().has_value());
    // Left empty for long, it is stale.
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(30);
    std::filesystem::last_write_time(lockFile, old);
    EXPECT_EQ(lock.Take(device, "", PortLock::Use::kLine), PortLock::Result::kTaken);
    lock.Release();

    // The old binary form: a 4-byte PID.
    const int parent = getppid();
    std::ofstream(lockFile, std::ios::binary).write(reinterpret_cast<const char*>(&parent), sizeof parent);
    EXPECT_EQ(lock.Take(device, "", PortLock::Use::kLine), PortLock::Result::kHeld);
    ASSERT_TRUE(lock.HeldBy().has_value());
    EXPECT_EQ(lock.HeldBy()->pid, parent);
}

TEST_F(PortLockTest, ALinkToTheDeviceIsTheSamePort) {
    const std::string link = device + "-by-id";
    std::filesystem::create_symlink(device, link);
    EXPECT_EQ(PortLock::LockName(link, ""), lockFile);
    PortLock run, line;
    ASSERT_EQ(run.Take(link, "", PortLock::Use::kRun), PortLock::Result::kTaken);
    ASSERT_EQ(line.Take(device, "", PortLock::Use::kLine), PortLock::Result::kTaken);
    run.Release();
    EXPECT_TRUE(std::filesystem::exists(lockFile));
}

TEST_F(PortLockTest, AFolderThatCannotTakeLocksFailsWithItsError) {
    test::SetEnv("VEXLOR_LOCK_DIR", device + "-missing");
    PortLock run;
    EXPECT_EQ(run.Take(device, "", PortLock::Use::kRun), PortLock::Result::kFailed);
    EXPECT_EQ(run.Error(), ENOENT);
    EXPECT_FALSE(run.Registered());
    EXPECT_EQ(run.Where(), device + "-missing/LCK..ttyUSB7");
}

}  // namespace
}  // namespace platform
