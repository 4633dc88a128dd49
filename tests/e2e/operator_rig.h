// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/dl_operator.h"
#include "engine/dl_status.h"
#include "log/log.h"
#include "model_line.h"
#include "platform/read_only_file.h"
#include "settings_file.h"
#include "temp_folder.h"

// Collects what the operator posts, in order, and lets the test wait for a run's end.
class RecordingTarget : public platform::NotifyTarget {
public:
    struct Message {
        uint32_t message;
        uintptr_t value;
    };
    void Post(uint32_t message, uintptr_t value) override;
    void Clear();
    std::vector<Message> Messages() const;
    std::vector<uint32_t> Statuses() const;
    std::vector<uint32_t> Percentages() const;
    // Waits until a status passes predicate; false after limitMs.
    bool WaitForStatus(bool (*predicate)(uint32_t), int limitMs);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_posted;
    std::vector<Message> m_messages;
};

// An operator downloading a packed load, in this process, to the handset model on an in-process
// line (portable: no terminal, no child program).
class OperatorDownloadTest : public ::testing::Test {
protected:
    static constexpr const char* kPort = "COM9";
    static constexpr const char* kLoadVersion = "VX12.01";  // the handset's default answer is 12

    void TearDown() override;

    // Packs a load of loadSize bytes, puts the handset model set up with simOptions (the
    // simulator's options) behind the operator's line, opens the log, and runs the package check.
    // Fatal failures on any problem.
    void Prepare(uint32_t loadSize, const std::vector<std::string>& simOptions);
    // Starts a run and waits for its final status (0 if none within limitMs).
    uint32_t RunToEnd(int limitMs = 60000);
    // Waits for the worker to end after a Stop or a final status.
    bool WaitWorkerEnded(int limitMs);

    // The simulator's options as the model line takes them; a test failure when they do not parse.
    static SimOptions SimOptionsOf(const std::vector<std::string>& args);

    std::string Log() const { return ReadLogFolder(folder.Path()); }
    int CountInLog(const std::string& needle) const { return CountOccurrences(Log(), needle); }
    // The load arrived whole, and the port kept the tool's settings until the run's end.
    void ExpectImageIsLoad();
    void ExpectPortKeptTheToolsSettings();
    // Percentages of a successful run: 0 first, 100 last, rising, 100 nowhere else.
    void ExpectProgressShape();

    TempFolder folder;
    std::vector<uint8_t> load;
    RecordingTarget target;
    platform::ReadOnlyFile file;
    std::unique_ptr<CDLOperator> op;
    ModelLine* handset = nullptr;  // owned by op's channel
};
