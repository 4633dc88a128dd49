// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/common/resource_library.h"
#include "app/runs/message_queue.h"
#include "app/runs/port_claim.h"
#include "app/runs/port_run.h"
#include "platform/window_messages.h"
#include "temp_folder.h"

// What the run layer's tests share: a port map giving COM5 to COM8 to made-up devices, runtime
// and lock folders of the test's own for the ports' guards (and no system serial devices), the
// English texts, and claims of ports.
class RunsFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A claim of port, resolved through the port map and guarded, or refused as absent.
    PortClaim& Claim(const std::string& port);
    std::unique_ptr<PortRun> RunOf(PortClaim& claim, uint64_t loadSize = 1000) {
        return std::make_unique<PortRun>(claim, queue, static_cast<uint32_t>(claims.size()), loadSize);
    }
    std::string Text(unsigned id) const { return m_language.LoadString(id); }

    TempFolder folder;
    MessageQueue queue;
    std::vector<std::unique_ptr<PortClaim>> claims;

protected:
    CResourceLibrary m_language;
};

// A port's download played on the runner's thread: Start posts the status codes and, unless
// told otherwise, ends. atFirstLook runs at the runner's first look at Running().
class ScriptedWorker : public PortWorker {
public:
    ScriptedWorker(PortRun& run, std::vector<uint32_t> statuses, bool ends = true)
        : running(!ends), m_run(run), m_statuses(std::move(statuses)) {}
    void Start() override {
        for (const uint32_t status : m_statuses) Post(WM_DL_STATUS, status);
    }
    bool Running() const override {
        if (atFirstLook) std::exchange(atFirstLook, nullptr)(*this);
        return running;
    }
    void RequestStop() override { running = false; }
    void Stop() override { running = false; }
    RunFailure LastFailure() const override { return failure; }
    uint64_t BytesSent() const override { return 0; }
    std::string HandsetVersion() const override { return "12"; }
    void Post(uint32_t message, uintptr_t value) const { m_run.target.Post(message, value); }

    mutable std::function<void(const ScriptedWorker&)> atFirstLook;
    mutable bool running;
    RunFailure failure;

private:
    PortRun& m_run;
    std::vector<uint32_t> m_statuses;
};

// The fields of a CSV line (quoted fields unquoted), and the lines of a text.
std::vector<std::string> CsvFields(const std::string& line);
std::vector<std::string> LinesOf(const std::string& text);
