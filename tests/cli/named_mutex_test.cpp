// SPDX-License-Identifier: Apache-2.0
#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class NamedMutexTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vexlor-mutex-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        m_oldRuntime = old ? old : "";
        m_hadRuntime = old != nullptr;
        setenv("XDG_RUNTIME_DIR", m_dir.c_str(), 1);
    }
    void TearDown() override {
        if (m_hadRuntime)
            setenv("XDG_RUNTIME_DIR", m_oldRuntime.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        std::filesystem::remove_all(m_dir);
    }
    // Tries the lock from a child process: flock locks belong to the open file, so a second
    // process is the real test of "another instance".
    static int CreateInChild(const std::string& name) {
        pid_t child = fork();
        if (child == 0) {
            platform::NamedMutex other;
            auto result = other.Create(name);
            _exit(static_cast<int>(result));
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string m_dir;
    std::string m_oldRuntime;
    bool m_hadRuntime = false;
};

TEST_F(NamedMutexTest, LockFileLivesInRuntimeFolder) {
    EXPECT_EQ(platform::NamedMutex::LockPath("Vexlor"), m_dir + "/Vexlor.lock");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(platform::NamedMutex::LockPath("Vexlor"), "/tmp/Vexlor.lock");
}

TEST_F(NamedMutexTest, SecondHolderIsRefusedUntilFirstCloses) {
    platform::NamedMutex first;
    ASSERT_EQ(first.Create("Vexlor"), platform::NamedMutex::Result::Created);
    EXPECT_TRUE(first.IsHeld());
    EXPECT_EQ(CreateInChild("Vexlor"), static_cast<int>(platform::NamedMutex::Result::AlreadyExists));
    EXPECT_EQ(CreateInChild("Other"), static_cast<int>(platform::NamedMutex::Result::Created));
    EXPECT_TRUE(first.Close());
    EXPECT_FALSE(first.IsHeld());
    EXPECT_EQ(CreateInChild("Vexlor"), static_cast<int>(platform::NamedMutex::Result::Created));
}

TEST_F(NamedMutexTest, UnusableNamesAndFoldersFail) {
    platform::NamedMutex mutex;
    EXPECT_EQ(mutex.Create("a/b"), platform::NamedMutex::Result::Failed);
    EXPECT_EQ(mutex.Create(""), platform::NamedMutex::Result::Failed);
    setenv("XDG_RUNTIME_DIR", (m_dir + "/missing").c_str(), 1);
    EXPECT_EQ(mutex.Create("Vexlor"), platform::NamedMutex::Result::Failed);
    EXPECT_FALSE(mutex.IsHeld());
}

TEST_F(NamedMutexTest, PlantedSymlinkIsNotFollowed) {
    const std::string target = m_dir + "/target";
    std::filesystem::create_symlink(target, m_dir + "/Vexlor.lock");
    platform::NamedMutex mutex;
    EXPECT_EQ(mutex.Create("Vexlor"), platform::NamedMutex::Result::Failed);
    EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
