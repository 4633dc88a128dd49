// SPDX-License-Identifier: Apache-2.0
// A folder given for one run (--log-dir) takes the place of the folder part of "App", with paths
// split and joined as the system writes them: on Windows at '\' as well as '/'.
#include <gtest/gtest.h>

#include <string>

#include "log/log_settings.h"
#include "platform/folder_path.h"

namespace {

// The "App" text the log uses when app is set and folder is given.
std::string AppWith(const std::string& app, const std::string& folder) {
    diaglog::LogSettings settings;
    settings.app = app;
    LogOverrides overrides;
    overrides.folder = folder;
    return diaglog::ApplyOverrides(settings, overrides)->app;
}

TEST(LogFolder, GivenFolderTakesThePlaceOfTheFolderPartOfApp) {
#ifdef _WIN32
    EXPECT_EQ(AppWith("C:\\Vexlor\\logs\\", "D:\\x"), "D:\\x\\");
    EXPECT_EQ(AppWith("C:\\Vexlor\\logs\\vx_", "D:\\x\\"), "D:\\x\\vx_");
    EXPECT_EQ(AppWith("C:\\Vexlor\\logs\\vx_", "D:/x"), "D:/x/vx_");
    EXPECT_EQ(AppWith("C:/Vexlor/logs/vx_", "\\\\server\\share"), "\\\\server\\share\\vx_");
    EXPECT_EQ(AppWith("C:vx_", "D:"), "D:vx_");  // a drive alone is that drive's current folder
    EXPECT_EQ(AppWith("vx_", ""), "vx_");
#else
    EXPECT_EQ(AppWith("/var/log/vexlor/vx_", "/tmp/x"), "/tmp/x/vx_");
    EXPECT_EQ(AppWith("/var/log/vexlor/", "/tmp/x/"), "/tmp/x/");
    // A backslash is a file name character here, and so is a colon.
    EXPECT_EQ(AppWith("C:\\Vexlor\\logs\\vx_", "/tmp/x"), "/tmp/x/C:\\Vexlor\\logs\\vx_");
    EXPECT_EQ(AppWith("vx_", "D:"), "D:/vx_");
#endif
}

// The Windows rules on every system, so that a Linux build checks them too.
TEST(FolderPath, WindowsPathsSplitAtEitherSeparatorOrADrive) {
    using platform::FolderPartLength;
    using platform::FolderPrefix;
    using platform::kWindowsPaths;
    EXPECT_EQ(FolderPartLength("C:\\Vexlor\\logs\\vx_", kWindowsPaths), 15u);
    EXPECT_EQ(FolderPartLength("C:\\Vexlor/logs/vx_", kWindowsPaths), 15u);
    EXPECT_EQ(FolderPartLength("C:vx_", kWindowsPaths), 2u);
    EXPECT_EQ(FolderPartLength("vx_", kWindowsPaths), 0u);
    EXPECT_EQ(FolderPartLength("1:vx_", kWindowsPaths), 0u);  // no drive letter
    EXPECT_EQ(FolderPrefix("D:\\x", kWindowsPaths), "D:\\x\\");
    EXPECT_EQ(FolderPrefix("D:/x/y", kWindowsPaths), "D:/x/y/");
    EXPECT_EQ(FolderPrefix("logs", kWindowsPaths), "logs\\");
    EXPECT_EQ(FolderPrefix("D:", kWindowsPaths), "D:");
    EXPECT_EQ(FolderPrefix("", kWindowsPaths), "");
}

}  // namespace
