// SPDX-License-Identifier: Apache-2.0
#include "app/cli/download_runner.h"

#include <chrono>
#include <cstdio>

#include "app/cli/exit_status.h"
#include "app/common/status_lines.h"
#include "platform/stop_signals.h"
#include "engine/dl_status.h"
#include "platform/program_path.h"

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
    Runner(CliSession& session, RunView& view, const RunReport* report)
        : m_session(session), m_view(view), m_report(report), m_messages(session.Err()) {}

    int Run(const CDLParameter& package);

private:
    void StartAll(const CDLParameter& package);
    void End(PortRun& run, PortRun::Result result);
    void OnStatus(PortRun& run, uint32_t code);
    void OnProgress(PortRun& run, unsigned percent);
    void StopAll();
    // Hands a run's message to its run (a message of a run that has ended is dropped).
    void Dispatch(const MessageQueue::Message& message);
    // Runs whose worker ended without a final status (a worker that could not be started).
    void SettleSilentEnds();
    bool AnyRunning() const;

    CliSession& m_session;
    RunView& m_view;
    const RunReport* m_report;
    PrintedMessages m_messages;
    std::vector<std::unique_ptr<PortRun>> m_runs;
};

void Runner::StartAll(const CDLParameter& package) {
    const std::string program = platform::ProgramPath();
    uint32_t source = 0;
    for (const auto& claim : m_session.Claims()) {
        m_runs.push_back(std::make_unique<PortRun>(*claim, m_session.Queue(), ++source));
    }
    m_view.Begin(m_runs);
    for (auto& run : m_runs) {
        if (!run->claim.Claimed()) {
            End(*run, PortRun::Result::kRefused);
            m_view.Refused(*run);
            continue;
        }
        run->op = std::make_unique<CDLOperator>();
        run->program.Open(program);  // a failure shows as a failed read of the load
        run->op->SetMessageSink(&m_messages);
        run->op->SetNotifyTarget(&run->target);
        run->op->SetProgramFile(&run->program);
        run->op->UsePackage(package);
        run->op->SetComPort(run->Port());
        run->op->Link().SetDetectionPatienceMs(m_session.ExtraDetectionMs());
        run->estimate = TransferEstimate(package.GetLoadSize());
        run->start = std::chrono::steady_clock::now();
        run->startedAt = platform::Now();
        run->op->Start();
    }
}

void Runner::End(PortRun& run, PortRun::Result result) {
    run.result = result;
    run.end = std::chrono::steady_clock::now();
    run.endedAt = platform::Now();
    if (m_report && m_report->Append(run) != 0) {
        std::fprintf(m_session.Err(), "vexlor: %s: the report row of %s could not be written\n",
                     m_session.Args().reportFile->c_str(), run.Port().c_str());
    }
}

void Runner::OnStatus(PortRun& run, uint32_t code) {
    run.lastStatus = code;
    if (IsFinalStatus(code)) {
        run.failure = run.op->LastFailure();
        End(run, code == STATUS_DONE ? PortRun::Result::kDone : PortRun::Result::kFailed);
    }
    m_view.Status(run, code);
}

void Runner::OnProgress(PortRun& run, unsigned percent) {
    run.hasProgress = true;
    run.percent = percent;
    run.estimate.Sample(percent, std::chrono::duration<double>(std::chrono::steady_clock::now() - run.start).count());
    m_view.Progress(run, percent);
}

void Runner::StopAll() {
    // Every worker is asked first, so they all wind down together; then each is waited for.
    for (auto& run : m_runs) {
        if (!run->Ended()) run->op->RequestStop();
    }
    for (auto& run : m_runs) {
        if (!run->Ended()) run->op->Stop();
    }
    // A run that ended by itself before it saw the request has its final status queued.
    MessageQueue::Message message;
    while (m_session.Queue().WaitFor(message, std::chrono::milliseconds(0))) Dispatch(message);
    for (auto& run : m_runs) {
        if (run->Ended()) continue;
        End(*run, PortRun::Result::kStopped);
        m_view.Stopped(*run);
    }
}

void Runner::Dispatch(const MessageQueue::Message& message) {
    if (message.source == 0 || message.source > m_runs.size()) return;
    PortRun& run = *m_runs[message.source - 1];
    if (run.Ended()) return;
    if (message.message == WM_DL_STATUS) OnStatus(run, static_cast<uint32_t>(message.wParam));
    if (message.message == WM_DL_PROGRESS) OnProgress(run, static_cast<unsigned>(message.wParam));
    if (message.message == WM_DL_NOTICE && message.wParam == NOTICE_PORT_BUSY) {
        run.notice = PortBusyLine(run.op->LastNotice(), run.Port(), m_session.Text());
        if (!run.notice.empty()) m_view.Waiting(run, run.notice);
    }
}

void Runner::SettleSilentEnds() {
    if (!m_session.Queue().Empty()) return;
    for (auto& run : m_runs) {
        if (!run->Ended() && !run->op->IsRunning()) End(*run, PortRun::Result::kFailed);
    }
}

bool Runner::AnyRunning() const {
    for (const auto& run : m_runs) {
        if (!run->Ended()) return true;
    }
    return false;
}

int Runner::Run(const CDLParameter& package) {
    StartAll(package);
    bool interrupted = false;
    while (AnyRunning()) {
        MessageQueue::Message message;
        if (!m_session.Queue().WaitFor(message, kPoll)) {
            // Looked at in this order, a final status posted just before a worker ended is
            // still in the queue and is taken on the next pass.
            SettleSilentEnds();
            m_view.Tick();
            continue;
        }
        if (message.message == platform::StopSignalWatch::MESSAGE) {
            StopAll();
            interrupted = true;
            break;
        }
        Dispatch(message);
        m_view.Tick();
    }
    m_view.Finish(m_runs);
    if (interrupted) return kExitSignal;
    for (const auto& run : m_runs) {
        if (run->result != PortRun::Result::kDone) return kExitFailed;
    }
    return kExitDone;
}

}  // namespace

int RunDownloads(CliSession& session, const CDLParameter& package, RunView& view, const RunReport* report) {
    Runner runner(session, view, report);
    return runner.Run(package);
}
