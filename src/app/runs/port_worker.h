// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/dl_operator.h"
#include "engine/message_sink.h"
#include "engine/run_failure.h"
#include "package/dl_parameter.h"
#include "platform/notify_target.h"
#include "platform/read_only_file.h"

// What the headless runner needs of one port's download. It posts WM_DL_STATUS, WM_DL_PROGRESS
// and WM_DL_NOTICE to the target it was made with, and every message it posts is posted before
// Running() turns false.
class PortWorker {
public:
    virtual ~PortWorker() = default;
    virtual void Start() = 0;
    virtual bool Running() const = 0;
    // Asks the run to stop without waiting (every worker is asked first, then each is waited for).
    virtual void RequestStop() = 0;
    // Asks and waits for the run to end.
    virtual void Stop() = 0;
    // As CDLOperator's: read after the final status.
    virtual RunFailure LastFailure() const = 0;
    virtual uint64_t BytesSent() const = 0;
    // What the handset has confirmed of them (rates are made of these).
    virtual uint64_t BytesConfirmed() const { return BytesSent(); }
    virtual std::string HandsetVersion() const = 0;
    // The handset's ESN, once the run has read it (none for a download-mode start).
    virtual std::optional<uint32_t> HandsetEsn() const { return std::nullopt; }
    // When the handset took the first packet (the block phase began); nothing before, or when the
    // worker cannot tell (the first look that finds bytes sent then stands in for it).
    virtual std::optional<std::chrono::steady_clock::time_point> BlockPhaseStart() const { return std::nullopt; }
    // As CDLOperator's: who holds the port, after a WM_DL_NOTICE of a busy port.
    virtual PortFailure LastNotice() const { return {}; }
};

// The real one: a download operator of its own, with its own reading of the program file.
class OperatorWorker : public PortWorker {
public:
    // package: the parameters of the checked package; extraDetectionMs: what --wait leaves;
    // line: the port's serial line; programPath: the program file carrying the load.
    OperatorWorker(const std::string& port, const CDLParameter& package, platform::NotifyTarget& target,
                   IMessageSink& messages, int extraDetectionMs,
                   std::unique_ptr<platform::SerialLine> line = platform::MakeSystemSerialLine(),
                   const std::string& programPath = "");

    void Start() override { m_operator.Start(); }
    bool Running() const override { return m_operator.IsRunning(); }
    void RequestStop() override { m_operator.RequestStop(); }
    void Stop() override { m_operator.Stop(); }
    RunFailure LastFailure() const override { return m_operator.LastFailure(); }
    uint64_t BytesSent() const override { return m_operator.BytesSent(); }
    uint64_t BytesConfirmed() const override { return m_operator.BytesConfirmed(); }
    std::string HandsetVersion() const override { return m_operator.HandsetVersion(); }
    std::optional<uint32_t> HandsetEsn() const override { return m_operator.HandsetEsn(); }
    std::optional<std::chrono::steady_clock::time_point> BlockPhaseStart() const override {
        return m_operator.BlockPhaseStart();
    }
    PortFailure LastNotice() const override { return m_operator.LastNotice(); }

private:
    platform::ReadOnlyFile m_program;  // opened before the operator and closed after it
    CDLOperator m_operator;
};
