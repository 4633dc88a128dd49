// SPDX-License-Identifier: Apache-2.0
// Each test process gets its own settings file (the port map the simulators register in), an
// empty stand-in for /sys/class/tty, and the tool's fixed pauses shortened, before any thread starts.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "test_dirs.h"

namespace {
std::string g_dir;
}

const std::string& TestDir() { return g_dir; }
std::string SettingsFile() { return g_dir + "/registry.reg"; }

int main(int argc, char** argv) {
    char pattern[] = "/tmp/vexlor-serial-XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    g_dir = pattern;
    std::filesystem::create_directory(g_dir + "/tty");
    setenv("VEXLOR_REGISTRY", SettingsFile().c_str(), 1);
    setenv("VEXLOR_SYSFS_ROOT", (g_dir + "/tty").c_str(), 1);
    setenv("VEXLOR_TIME_SCALE", "0.1", 0);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(g_dir, ignored);
    return result;
}
