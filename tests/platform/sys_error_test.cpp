// System error texts and the platform's own small helpers.
#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

#include "platform/local_time.h"
#include "platform/program_path.h"
#include "platform/sys_error.h"

namespace platform {
namespace {

TEST(SysErrorText, KnownNumbersHaveTheSystemsText) {
    EXPECT_EQ(SysErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(SysErrorText(EACCES), "Permission denied");
    EXPECT_EQ(SysErrorText(EIO), "Input/output error");
}

TEST(SysErrorText, UnknownNumbersHaveNone) {
    EXPECT_EQ(SysErrorText(987654), "");
    EXPECT_EQ(SysErrorText(-1), "");
}

TEST(ProgramPath, IsThisTestProgram) {
    std::string path = ProgramPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(access(path.c_str(), X_OK), 0);
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(path.rfind(folder, 0), 0u);
    EXPECT_EQ(path.find('/', folder.size()), std::string::npos);
}

TEST(LocalTime, FieldsAreInRange) {
    LocalTime t = Now();
    EXPECT_GE(t.year, 2000);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_GE(t.day, 1);
    EXPECT_LE(t.day, 31);
    EXPECT_LE(t.hour, 23);
    EXPECT_LE(t.minute, 59);
    EXPECT_LE(t.second, 60);
    EXPECT_GE(t.millisecond, 0);
    EXPECT_LE(t.millisecond, 999);
}

}  // namespace
}  // namespace platform
