// SPDX-License-Identifier: Apache-2.0
#include "app/runs/download_runner.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "app/common/status_lines.h"
#include "app/runs/restart_watch.h"
#include "app/runs/run_keeper.h"
#include "app/runs/station_text.h"
#include "engine/dl_status.h"
#include "platform/stop_signals.h"
#include "platform/window_messages.h"

namespace {

constexpr std::chrono::milliseconds kPoll{100};

class Runner {
public:
    Runner(const RunSettings& settings, RunContext& context, RunView& view, const RunReport* report, uint64_t loadSize,
           std::string loadVersion)
        : m_settings(settings),
          m_context(context),
          m_view(view),
          m_keeper(settings, context, view, report, loadSize, std::move(loadVersion)) {}

    RunsEnd Run(const std::vector<std::unique_ptr<PortClaim>>& claims, const WorkerMaker& make);

private:
    void StartAll(const std::vector<std::unique_ptr<PortClaim>>& claims, const WorkerMaker& make);
    void StopAll();
    // Takes one message: a stop signal is noted, a run's message goes to its run (a message of a
    // run that has ended is dropped).
    void Take(const MessageQueue::Message& message);
    // Ends the runs whose worker has ended without a final status (one that could not start).
    void SettleEndedWorkers();
    // --confirm: a done run's restart is looked for; its record waits for the answer.
    void WatchRestarts();
    void TakeRestart(PortRun& run);
    bool AnyRunning() const;
    RunsEnd End() const;

    const RunSettings& m_settings;
    RunContext& m_context;
    RunView& m_view;
    RunKeeper m_keeper;
    std::vector<std::unique_ptr<PortRun>> m_runs;
    std::map<const PortRun*, std::unique_ptr<RestartWatch>> m_watches;
    bool m_stopAsked = false;
};

void Runner::StartAll(const std::vector<std::unique_ptr<PortClaim>>& claims, const WorkerMaker& make) {
    uint32_t source = 0;
    for (const auto& claim : claims) {
        m_runs.push_back(std::make_unique<PortRun>(*claim, m_context.queue, ++source, m_keeper.LoadSize()));
    }
    m_view.Begin(m_runs);
    for (auto& run : m_runs) {
        if (!run->claim.Claimed()) {
            m_keeper.End(*run, PortRun::Result::kRefused);
            m_view.Refused(*run);
            continue;
        }
        run->worker = make(*run);
        run->start = std::chrono::steady_clock::now();
        run->startedAt = platform::Now();
        run->worker->Start();
    }
}

void Runner::StopAll() {
    // Every worker is asked first, so they all wind down together; then each is waited for.
    for (auto& run : m_runs) {
        if (!run->Ended()) run->worker->RequestStop();
    }
    // A run in the block phase goes on to the end of the block being written: said at once.
    for (auto& run : m_runs) {
        if (run->Ended()) continue;
        m_keeper.SampleTransfer(*run);
        run->stopping = StoppingLineOf(*run, m_context.text);
        m_view.Stopping(*run);
    }
    for (auto& run : m_runs) {
        if (!run->Ended()) run->worker->Stop();
    }
    for (auto& watch : m_watches) watch.second->Stop();
    // A run that ended by itself before it saw the request has its final status queued (and a
    // stopped look for a restart its answer).
    MessageQueue::Message message;
    while (m_context.queue.WaitFor(message, std::chrono::milliseconds(0))) Take(message);
    for (auto& run : m_runs) {
        if (run->Ended()) continue;
        m_keeper.Close(*run, PortRun::Result::kStopped);
        m_view.Stopped(*run);
        m_keeper.Record(*run);
    }
    m_watches.clear();
    for (auto& run : m_runs) {
        if (run->recorded) continue;
        run->confirmed = false;  // done, but stopped before it answered again
        m_keeper.Record(*run);
    }
}

void Runner::WatchRestarts() {
    for (auto& run : m_runs) {
        if (!run->Ended() || run->recorded || m_watches.count(run.get()) != 0) continue;
        m_watches[run.get()] = std::make_unique<RestartWatch>(run->Port(), m_settings.confirmTimeout, m_context.queue,
                                                              run->target.Source());
    }
}

void Runner::TakeRestart(PortRun& run) {
    const auto watch = m_watches.find(&run);
    if (watch == m_watches.end() || run.recorded) return;
    const ProbeResult answer = watch->second->Answer();
    if (answer.kind == ProbeResult::Kind::kStopped) return;  // the stop records it
    const bool answered = answer.kind == ProbeResult::Kind::kAnswered;
    // Known by its ESN where both it and the run read one; else the answer alone has to do.
    const bool other = answered && run.esn && answer.esn && *answer.esn != *run.esn;
    run.confirmed = answered && !other;
    if (other) run.otherEsn = answer.esn;
    if (*run.confirmed) {
        run.confirmedBy = run.esn && answer.esn ? "esn" : "answer";
        run.modeAfter = answer.mode;
        run.platform = answer.platform;
    }
    m_watches.erase(watch);
    m_keeper.Record(run);
}

void Runner::Take(const MessageQueue::Message& message) {
    if (message.message == platform::StopSignalWatch::MESSAGE) {
        m_stopAsked = true;
        return;
    }
    if (message.source == 0 || message.source > m_runs.size()) return;
    PortRun& run = *m_runs[message.source - 1];
    if (message.message == RestartWatch::MESSAGE) return TakeRestart(run);
    m_keeper.Take(run, message.message, message.wParam, m_settings.confirm);
    if (run.Ended() && !run.recorded) WatchRestarts();
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
    while (m_context.queue.WaitFor(message, std::chrono::milliseconds(0))) Take(message);
    for (PortRun* run : ended) {
        if (!run->Ended()) m_keeper.End(*run, PortRun::Result::kFailed);
    }
}

bool Runner::AnyRunning() const {
    for (const auto& run : m_runs) {
        if (!run->Ended() || !run->recorded) return true;
    }
    return false;
}

RunsEnd Runner::End() const {
    RunsEnd end;
    end.stopped = m_stopAsked;
    end.recordLost = m_keeper.RecordLost();
    if (m_settings.singlePort && m_runs.size() == 1 && m_runs.front()->result == PortRun::Result::kRefused) {
        end.singleRefusal = &m_runs.front()->claim;
        return end;
    }
    bool anyDone = false;
    for (const auto& run : m_runs) {
        if (run->result == PortRun::Result::kDone) {
            anyDone = true;
        } else if (run->result != PortRun::Result::kEmpty) {
            end.failed = true;
        }
    }
    end.failed = end.failed || !anyDone;
    return end;
}

RunsEnd Runner::Run(const std::vector<std::unique_ptr<PortClaim>>& claims, const WorkerMaker& make) {
    StartAll(claims, make);
    auto lastSettle = std::chrono::steady_clock::now();
    while (AnyRunning() && !m_stopAsked) {
        MessageQueue::Message message;
        const bool taken = m_context.queue.WaitFor(message, kPoll);
        if (taken) Take(message);
        for (auto& run : m_runs) m_keeper.SampleTransfer(*run);
        // Also while other ports keep the queue busy.
        if (!taken || std::chrono::steady_clock::now() - lastSettle >= kPoll) {
            SettleEndedWorkers();
            lastSettle = std::chrono::steady_clock::now();
        }
        m_view.Tick();
    }
    if (m_stopAsked) StopAll();
    m_view.Finish(m_runs);
    return End();
}

}  // namespace

RunsEnd RunPorts(const RunSettings& settings, RunContext& context,
                 const std::vector<std::unique_ptr<PortClaim>>& claims, RunView& view, const RunReport* report,
                 uint64_t loadSize, const std::string& loadVersion, const WorkerMaker& make) {
    Runner runner(settings, context, view, report, loadSize, loadVersion);
    return runner.Run(claims, make);
}
