// SPDX-License-Identifier: Apache-2.0
// The single-instance guard: the first holder wins, a second is told so and keeps nothing,
// and closing hands the mutex on.
#include "app/common/instance_mutex.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class InstanceMutexTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Our own runtime folder, so that a running tool or a parallel test is not disturbed.
        char pattern[] = "/tmp/vexlor-mutex-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    }
    void TearDown() override {
        std::remove((folder_ + "/Vexlor.lock").c_str());
        rmdir(folder_.c_str());
    }
    std::string folder_;
};

TEST_F(InstanceMutexTest, SecondInstanceIsRefusedUntilTheFirstCloses) {
    CInstanceMutex first, second;
    EXPECT_EQ(first.Create("Vexlor"), 1);
    EXPECT_EQ(second.Create("Vexlor"), 0);
    EXPECT_EQ(second.Close(), 1);  // nothing held: closing is harmless
    EXPECT_EQ(second.Create("Vexlor"), 0);
    EXPECT_EQ(first.Close(), 1);
    EXPECT_EQ(second.Create("Vexlor"), 1);
}

TEST_F(InstanceMutexTest, DestructorReleasesTheMutex) {
    {
        CInstanceMutex first;
        ASSERT_EQ(first.Create("Vexlor"), 1);
    }
    CInstanceMutex next;
    EXPECT_EQ(next.Create("Vexlor"), 1);
}

TEST_F(InstanceMutexTest, UncreatableMutexGivesTheCreateError) {
    setenv("XDG_RUNTIME_DIR", "/nonexistent/runtime/folder", 1);
    CInstanceMutex guard;
    EXPECT_EQ(guard.Create("Vexlor"), MUTEXERR_CREATE);
    EXPECT_LT(guard.Create("Vexlor"), 0);  // negative as a signed result
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
}

}  // namespace
