// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim_process.h"
#include "test_channel.h"
#include "test_dirs.h"

// Tests of the channel against the handset simulator on a pseudo-terminal, registered in this
// process's settings file as kSimPort.
class ChannelTest : public ::testing::Test {
protected:
    static constexpr const char* kSimPort = "COM7";

    std::unique_ptr<SimProcess> StartSim(const std::vector<std::string>& options) {
        auto sim = std::make_unique<SimProcess>(options, SettingsFile(), kSimPort);
        EXPECT_TRUE(sim->Started()) << "simulator " << SimulatorPath() << " did not start";
        return sim;
    }

    // Opens the channel on the simulator and waits for the listener to report found.
    void OpenAndDetect(TestChannel& channel, EChannelEvent found) {
        ASSERT_EQ(channel.Open(kSimPort, 115200), 0);
        ASSERT_TRUE(channel.WaitFor(found)) << "mode not detected";
    }

    // Polls (real time) until condition holds; false after limitMs.
    static bool WaitUntil(const std::function<bool()>& condition, int limitMs = 10000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    // Writes a settings file whose port map holds only device -> port.
    static void RegisterOnly(const std::string& device, const std::string& port) {
        std::ofstream(SettingsFile()) << "Windows Registry Editor Version 5.00\n\n"
                                         "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\""
                                      << device << "\"=\"" << port << "\"\n";
    }
};
