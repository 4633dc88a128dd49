// SPDX-License-Identifier: Apache-2.0
#include "app/cli/download_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/cli/exit_status.h"
#include "app/cli/run_outcome.h"
#include "app/common/status_lines.h"
#include "engine/dl_packets.h"
#include "engine/dl_status.h"
#include "platform/stop_signals.h"
#include "platform/window_messages.h"

namespace {

constexpr std::chrono::milliseconds kPoll{100};

// The operator's two fixed messages (a worker that cannot be started or stopped).
class PrintedMessages : public IMessageSink {
public:
    explicit PrintedMessages(std::FILE* err) : m_err(err) {}
    void Show(const char* text) override {
        std::fprintf(m_err, "%s\n", text);
        std::fflush(m_err);
    }

private:
    std::FILE* m_err;
};

class Runner {
public:
    Runner(CliSession& session, RunView& view, const RunReport* report, uint64_t loadSize, std::string loadVersion)
        : m_session(session),
          m_view(view),
          m_report(report),
          m_loadSize(loadSize),
          m_loadVersion(std::move(loadVersion)) {}

    int Run(const std::vector<std::unique_ptr<PortClaim>>& claims, const WorkerMaker& make);

private:
    void StartAll(const std::vector<std::unique_ptr<PortClaim>>& claims, const WorkerMaker& make);
    void End(PortRun& run, PortRun::Result result);
    void OnStatus(PortRun& run, uint32_t code);
    void OnProgress(PortRun& run, unsigned percent);
    // The bytes each running run has sent, looked at now (the rates are made of these looks).
    void SampleTransfers();
    void SampleTransfer(PortRun& run);
    void StopAll();
    // Takes one message: a stop signal is noted, a run's message goes to its run (a message of a
    // run that has ended is dropped).
    void Take(const MessageQueue::Message& message);
    // Ends the runs whose worker has ended without a final status (one that could not start).
    void SettleEndedWorkers();
    bool AnyRunning() const;
    int ExitStatus() const;

    CliSession& m_session;
    RunView& m_view;
    const RunReport* m_report;
    uint64_t m_loadSize;
    std::string m_loadVersion;
    std::vector<std::unique_ptr<PortRun>> m_runs;
    bool m_stopAsked = false;
    bool m_recordLost = false;
};

void Runner::StartAll(const std::vector<std::unique_ptr<PortClaim>>& claims, const WorkerMaker& make) {
    uint32_t source = 0;
    for (const auto& claim : claims) {
        m_runs.push_back(std::make_unique<PortRun>(*claim, m_session.Queue(), ++source, m_loadSize));
    }
    m_view.Begin(m_runs);
    for (auto& run : m_runs) {
        if (!run->claim.Claimed()) {
            End(*run, PortRun::Result::kRefused);
            m_view.Refused(*run);
            continue;
        }
        run->worker = make(*run);
        run->start = std::chrono::steady_clock::now();
        run->startedAt = platform::Now();
        run->worker->Start();
    }
}

void Runner::End(PortRun& run, PortRun::Result result) {
    run.result = result;
    run.end = std::chrono::steady_clock::now();
    run.endedAt = platform::Now();
    LogRunOutcome(run, OutcomeOf(run, m_session.Text()), m_loadVersion);
    if (!m_report) return;
    if (const int error = m_report->Append(run); error != 0) {
        m_recordLost = true;
        std::fprintf(m_session.Err(), "vexlor: the report row of %s is lost: %s\n", run.Port().c_str(),
                     m_report->Problem(error).c_str());
        std::fflush(m_session.Err());
    }
}

void Runner::OnStatus(PortRun& run, uint32_t code) {
    run.lastStatus = code;
    if (IsFinalStatus(code)) {
        run.failure = run.worker->LastFailure();
        PortRun::Result result = code == STATUS_DONE ? PortRun::Result::kDone : PortRun::Result::kFailed;
        // Every port of the list is tried: one with nothing on it is not a failed handset.
        if (m_session.Args().allPorts && code == STATUS_ERR_PORT &&
            run.failure.port.kind == PortFailure::Kind::kNoAnswer) {
            result = PortRun::Result::kEmpty;
        }
        End(run, result);
    }
    m_view.Status(run, code);
}

void Runner::OnProgress(PortRun& run, unsigned percent) {
    run.hasProgress = true;
    run.percent = percent;
    SampleTransfer(run);
    m_view.Progress(run, percent);
}

void Runner::SampleTransfer(PortRun& run) {
    // The engine's time of the first packet, where it tells one: a look here may come up to a
    // poll late, which a fast line would feel in its first block.
    if (const auto blocks = run.worker->BlockPhaseStart()) {
        run.estimate.Begin(std::min<uint64_t>(dlpacket::WRITE_DATA_MAX, m_loadSize),
                           std::chrono::duration<double>(*blocks - run.start).count());
    }
    run.estimate.Sample(run.Bytes(), run.Seconds());
}

void Runner::SampleTransfers() {
    for (auto& run : m_runs) {
        if (!run->Ended() && run->worker) SampleTransfer(*run);
    }
}

void Runner::StopAll() {
    // Every worker is asked first, so they all wind down together; then each is waited for.
    for (auto& run : m_runs) {
        if (!run->Ended()) run->worker->RequestStop();
    }
    for (auto& run : m_runs) {
        if (!run->Ended()) run->worker->Stop();
    }
    // A run that ended by itself before it saw the request has its final status queued.
    MessageQueue::Message message;
    while (m_session.Queue().WaitFor(message, std::chrono::milliseconds(0))) Take(message);
    for (auto& run : m_runs) {
        if (run->Ended()) continue;
        End(*run, PortRun::Result::kStopped);
        m_view.Stopped(*run);
    }
}

void Runner::Take(const MessageQueue::Message& message) {
    if (message.message == platform::StopSignalWatch::MESSAGE) {
        m_stopAsked = true;
        return;
    }
    if (message.source == 0 || message.source > m_runs.size()) return;
    PortRun& run = *m_runs[message.source - 1];
    if (run.Ended()) return;
    if (message.message == WM_DL_STATUS) OnStatus(run, static_cast<uint32_t>(message.wParam));
    if (message.message == WM_DL_PROGRESS) OnProgress(run, static_cast<unsigned>(message.wParam));
    if (message.message == WM_DL_NOTICE && message.wParam == NOTICE_PORT_BUSY) {
        run.notice = PortBusyLine(run.worker->LastNotice(), run.Port(), m_session.Text());
        if (!run.notice.empty()) m_view.Waiting(run, run.notice);
    }
}

void Runner::SettleEndedWorkers() {
    // Which workers have ended is looked at first and their messages are taken after: a worker
    // posts its last message before it ends, so by now every message it posted is queued. (The
    // other order loses a final status posted between the two looks.)
    std::vector<PortRun*> ended;
    for (auto& run : m_runs) {
        if (!run->Ended() && !run->worker->Running()) ended.push_back(run.get());
    }
    if (ended.empty()) return;
    MessageQueue::Message message;
    while (m_session.Queue().WaitFor(message, std::chrono::milliseconds(0))) Take(message);
    for (PortRun* run : ended) {
        if (!run->Ended()) End(*run, PortRun::Result::kFailed);
    }
}

bool Runner::AnyRunning() const {
    for (const auto& run : m_runs) {
        if (!run->Ended()) return true;
    }
    return false;
}

int Runner::ExitStatus() const {
    if (m_stopAsked) return kExitSignal;
    if (m_recordLost) return kExitReport;
    if (m_session.SinglePort() && m_runs.size() == 1 && m_runs.front()->result == PortRun::Result::kRefused) {
        return RefusalExitStatus(m_runs.front()->claim);
    }
    bool anyDone = false;
    for (const auto& run : m_runs) {
        if (run->result == PortRun::Result::kDone) {
            anyDone = true;
        } else if (run->result != PortRun::Result::kEmpty) {
            return kExitFailed;
        }
    }
    return anyDone ? kExitDone : kExitFailed;
}

int Runner::Run(const std::vector<std::unique_ptr<PortClaim>>& claims, const WorkerMaker& make) {
    StartAll(claims, make);
    auto lastSettle = std::chrono::steady_clock::now();
    while (AnyRunning() && !m_stopAsked) {
        MessageQueue::Message message;
        const bool taken = m_session.Queue().WaitFor(message, kPoll);
        if (taken) Take(message);
        SampleTransfers();
        // Also while other ports keep the queue busy.
        if (!taken || std::chrono::steady_clock::now() - lastSettle >= kPoll) {
            SettleEndedWorkers();
            lastSettle = std::chrono::steady_clock::now();
        }
        m_view.Tick();
    }
    if (m_stopAsked) StopAll();
    m_view.Finish(m_runs);
    return ExitStatus();
}

}  // namespace

int RunPorts(CliSession& session, const std::vector<std::unique_ptr<PortClaim>>& claims, RunView& view,
             const RunReport* report, uint64_t loadSize, const std::string& loadVersion, const WorkerMaker& make) {
    Runner runner(session, view, report, loadSize, loadVersion);
    return runner.Run(claims, make);
}

int RunDownloads(CliSession& session, const CDLParameter& package, RunView& view, const RunReport* report) {
    PrintedMessages messages(session.Err());
    const int extraMs = session.ExtraDetectionMs();
    return RunPorts(session, session.Claims(), view, report, package.GetLoadSize(), package.GetVersion(),
                    [&](PortRun& run) -> std::unique_ptr<PortWorker> {
                        return std::make_unique<OperatorWorker>(run.Port(), package, run.target, messages, extraMs);
                    });
}
