// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "model_line.h"
#include "settings_file.h"
#include "temp_folder.h"
#include "test_channel.h"

// Tests of the channel against the handset model on an in-process line, mapped as kSimPort in
// the test's own settings file. Portable: no terminal, no second process.
class ModelChannelTest : public ::testing::Test {
protected:
    static constexpr const char* kSimPort = "COM7";

    void SetUp() override {
        TestSettings settings;
        settings.logPrefix = m_folder.File("log-");
        settings.ports["handset-model"] = kSimPort;  // the line opens whatever the map names
        ASSERT_TRUE(UseSettings(m_folder.File("settings.reg"), settings));
    }
    void TearDown() override { m_channel.reset(); }

    // A handset model set up as the simulator's options say, and a fresh channel on its line
    // (the previous channel and handset go). Both stay until the next call or the test's end.
    ModelLine& StartSim(const std::vector<std::string>& options) {
        m_channel.reset();
        SimOptions parsed;
        EXPECT_EQ(ParseSimOptions(options, parsed), "");
        auto line = std::make_unique<ModelLine>(parsed);
        ModelLine& sim = *line;
        m_channel = std::make_unique<TestChannel>(std::move(line));
        return sim;
    }
    TestChannel& Channel() { return *m_channel; }

    // Opens the channel on the handset and waits for the listener to report found.
    void OpenAndDetect(TestChannel& channel, EChannelEvent found) {
        ASSERT_EQ(channel.Open(kSimPort, 115200), 0);
        ASSERT_TRUE(channel.WaitFor(found)) << "mode not detected";
    }

    // How many of the tool's writes held hexBytes ("0C 14 3A 7E").
    static int Heard(const ModelLine& sim, const std::string& hexBytes) {
        std::vector<uint8_t> bytes;
        for (size_t at = 0; at + 1 < hexBytes.size(); at += 3) {
            bytes.push_back(static_cast<uint8_t>(std::stoi(hexBytes.substr(at, 2), nullptr, 16)));
        }
        return sim.CountWritesHolding(bytes);
    }

private:
    TempFolder m_folder;
    std::unique_ptr<TestChannel> m_channel;
};
