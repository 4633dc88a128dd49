#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "download_rig.h"
#include "engine/dl_operator.h"
#include "engine/dl_status.h"
#include "log/log.h"
#include "platform/read_only_file.h"

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

// An operator downloading a packed load to the simulator, in this process.
class OperatorDownloadTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Packs a load of loadSize bytes, starts the simulator with simOptions, opens the log, and
    // runs the package check. Fatal failures on any problem.
    void Prepare(uint32_t loadSize, const std::vector<std::string>& simOptions);
    // Starts a run and waits for its final status (0 if none within limitMs).
    uint32_t RunToEnd(int limitMs = 60000);
    // Waits for the worker to end after a Stop or a final status.
    bool WaitWorkerEnded(int limitMs);

    std::string Log() const { return rig.LogText(); }
    int CountInLog(const std::string& needle) const { return CountOccurrences(Log(), needle); }
    void ExpectImageIsLoad();
    // Percentages of a successful run: 0 first, 100 last, rising, 100 nowhere else.
    void ExpectProgressShape();

    DownloadRig rig;
    RecordingTarget target;
    platform::ReadOnlyFile file;
    CDLOperator op;
};
