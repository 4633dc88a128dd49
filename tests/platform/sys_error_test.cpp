// SPDX-License-Identifier: Apache-2.0
// System error texts and the platform's own small helpers.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/local_time.h"
#include "platform/program_path.h"
#include "platform/sys_error.h"

namespace platform {
namespace {

TEST(SysErrorText, KnownNumbersHaveTheSystemsText) {
#ifdef _WIN32
    // Windows numbers (file not found, access denied, sharing violation), in words that depend on
    // the system's language; each ends with the line end FormatMessage gives it.
    const std::string notFound = SysErrorText(2);
    const std::string denied = SysErrorText(5);
    const std::string sharing = SysErrorText(32);
    for (const std::string& text : {notFound, denied, sharing}) {
        ASSERT_GE(text.size(), 4u) << text;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << text;
        EXPECT_EQ(text.find('\0'), std::string::npos);
    }
    EXPECT_NE(notFound, denied);
    EXPECT_NE(denied, sharing);
#else
    EXPECT_EQ(SysErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(SysErrorText(EACCES), "Permission denied");
    EXPECT_EQ(SysErrorText(EIO), "Input/output error");
#endif
}

TEST(SysErrorText, ThePhraseFitsInsideASentence) {
    for (int error : {ENOENT, EACCES, 5, 32}) {
        const std::string text = SysErrorText(error);
        const std::string phrase = SysErrorPhrase(error);
        ASSERT_FALSE(phrase.empty()) << error;
        EXPECT_EQ(text.rfind(phrase, 0), 0u) << error;  // the same words
        EXPECT_EQ(phrase.find_first_of("\r\n"), std::string::npos) << error;
        EXPECT_NE(phrase.back(), '.') << error;
    }
#ifndef _WIN32
    EXPECT_EQ(SysErrorPhrase(EACCES), "Permission denied");  // nothing to take away here
#endif
    EXPECT_EQ(SysErrorPhrase(987654), "");
}

TEST(SysErrorText, UnknownNumbersHaveNone) {
    EXPECT_EQ(SysErrorText(987654), "");
    EXPECT_EQ(SysErrorText(-1), "");
}

TEST(ProgramPath, IsThisTestProgram) {
    std::string path = ProgramPath();
    ASSERT_FALSE(path.empty());
#ifdef _WIN32
    // "C:\...\platform_test.exe": a drive and the program file itself.
    ASSERT_GE(path.size(), 3u);
    EXPECT_EQ(path.substr(1, 2), ":\\");
    EXPECT_EQ(path.substr(path.size() - 4), ".exe");
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    const char separator = '\\';
#else
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(access(path.c_str(), X_OK), 0);
    const char separator = '/';
#endif
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), separator);
    EXPECT_EQ(folder.back(), kFolderSeparator);
    EXPECT_EQ(path.rfind(folder, 0), 0u);
    EXPECT_EQ(path.find(separator, folder.size()), std::string::npos);
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
