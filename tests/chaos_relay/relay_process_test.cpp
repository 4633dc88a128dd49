// SPDX-License-Identifier: Apache-2.0
// The relay program between a terminal that plays the handset and one that plays the tool.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"
#include "settings_file.h"
#include "temp_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Reads until count bytes came, the side hangs up, or limitMs pass.
Bytes ReadFor(int fd, size_t count, int limitMs, bool* hungUp = nullptr) {
    Bytes got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        uint8_t buffer[512];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (hungUp) *hungUp = true;
            break;
        }
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

void WriteAll(int fd, const Bytes& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

int OpenRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (fd >= 0 && tcgetattr(fd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(fd, TCSANOW, &settings);
    }
    return fd;
}

class RelayProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[128] = {};
        int slave = -1;
        ASSERT_EQ(openpty(&handsetMaster, &slave, name, nullptr, nullptr), 0);
        // The relay must not inherit the handset's side, or closing it here would not end the line.
        fcntl(handsetMaster, F_SETFD, FD_CLOEXEC);
        termios settings{};
        tcgetattr(slave, &settings);
        cfmakeraw(&settings);
        tcsetattr(slave, TCSANOW, &settings);
        close(slave);  // the relay opens it by name
        handsetPath = name;
    }
    void TearDown() override {
        if (tool >= 0) close(tool);
        if (handsetMaster >= 0) close(handsetMaster);
    }

    void StartRelay(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"--device", handsetPath, "--log", folder.File("faults.log")};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(relay.Start(VEXLOR_RELAY_PATH, args));
        std::string toolPath;
        ASSERT_TRUE(relay.ReadLine(toolPath, 5000));
        tool = OpenRaw(toolPath);
        ASSERT_GE(tool, 0) << toolPath;
    }

    TempFolder folder;
    ChildProcess relay;
    int handsetMaster = -1;
    int tool = -1;
    std::string handsetPath;
};

TEST(RelayProgramTest, VersionAndHelpAnswerWithoutADevice) {
    ChildProcess version;
    ASSERT_TRUE(version.Start(VEXLOR_RELAY_PATH, {"--version"}));
    EXPECT_EQ(version.Wait(5000), 0);
    EXPECT_EQ(version.Output().rfind("vexlor-chaos-relay ", 0), 0u) << version.Output();
    EXPECT_EQ(version.Output().back(), '\n');
    ChildProcess help;
    ASSERT_TRUE(help.Start(VEXLOR_RELAY_PATH, {"--help"}));
    EXPECT_EQ(help.Wait(5000), 0);
    EXPECT_NE(help.Output().find("--help | --version"), std::string::npos) << help.Output();
}

TEST_F(RelayProcessTest, AtRateZeroBothDirectionsPassUnchangedAndAVanishedHandsetHangsUpTheTool) {
    StartRelay({"--rate", "0"});
    Bytes all(256);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i);
    WriteAll(tool, all);
    EXPECT_EQ(ReadFor(handsetMaster, all.size(), 3000), all);
    WriteAll(handsetMaster, all);
    EXPECT_EQ(ReadFor(tool, all.size(), 3000), all);

    close(handsetMaster);
    handsetMaster = -1;
    bool hungUp = false;
    EXPECT_TRUE(ReadFor(tool, 1, 3000, &hungUp).empty());
    EXPECT_TRUE(hungUp);
    EXPECT_EQ(relay.Wait(3000), 0);
}

TEST_F(RelayProcessTest, AtRateHundredEveryAnswerIsSpoiltUntilTheLineIsDropped) {
    StartRelay({"--rate", "100", "--max-delay", "20", "--seed", "5"});
    const Bytes answer = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};
    bool hungUp = false;
    int answers = 0;
    while (!hungUp && answers < 500) {
        WriteAll(handsetMaster, answer);
        ++answers;
        const Bytes got = ReadFor(tool, 64, 60, &hungUp);
        EXPECT_NE(got, answer);  // never passed on as it was sent
    }
    EXPECT_TRUE(hungUp) << answers << " answers";
    EXPECT_EQ(relay.Wait(3000), 0);
    const std::string log = ReadWholeFile(folder.File("faults.log"));
    EXPECT_NE(log.find("chaos: disconnect"), std::string::npos) << log;
    EXPECT_NE(log.find("end: line dropped"), std::string::npos) << log;
}

}  // namespace
