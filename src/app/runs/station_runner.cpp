// SPDX-License-Identifier: Apache-2.0
#include "app/runs/station_runner.h"

#include <cstdio>

#include "app/common/format_text.h"
#include "app/common/status_lines.h"
#include "app/common/text_columns.h"
#include "app/runs/station_text.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/stop_signals.h"
#include "serial/handset_identity.h"

namespace {

constexpr std::chrono::milliseconds kPoll{100};

// "10:42": when a handset was flashed, as the technician's clock shows it.
std::string ClockText(const platform::LocalTime& at) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", at.hour, at.minute);
    return text;
}

// Why a station's port cannot be used for now, as its row and its line tell it.
std::string NoticeLine(const PortFailure& failure, const std::string& port, const TextLookup& text) {
    switch (failure.kind) {
    case PortFailure::Kind::kInUse: return PortBusyLine(failure, port, text);
    case PortFailure::Kind::kAbsent: return FormatText(text(lang::IDS_PORT_LEFT_LIST), port);
    default: {
        RunFailure why;
        why.port = failure;
        return JoinSentences(FailureDetailLine(STATUS_ERR_PORT, why, port, text), text(lang::IDS_TRYING_AGAIN));
    }
    }
}

}  // namespace

BenchTotals TotalsOf(const std::vector<std::unique_ptr<StationPort>>& ports, double seconds) {
    BenchTotals totals;
    for (const auto& port : ports) {
        totals.handsets += port->handsets;
        totals.done += port->done;
        totals.unconfirmed += port->unconfirmed;
        totals.failed += port->failed;
        totals.stopped += port->stopped;
    }
    totals.seconds = seconds;
    return totals;
}

StationRunner::StationRunner(RunSettings settings, RunContext& context, StationView& view, const RunReport* report,
                             uint64_t loadSize, std::string loadVersion)
    : m_settings(std::move(settings)),
      m_context(context),
      m_view(view),
      m_keeper(m_settings, context, view, report, loadSize, std::move(loadVersion)) {
    if (m_settings.maxHandsets) m_budget = std::make_unique<std::atomic<int>>(*m_settings.maxHandsets);
}

StationRunner::~StationRunner() { StopLoops(); }

BenchTotals StationRunner::Totals() const {
    return TotalsOf(m_ports, std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count());
}

void StationRunner::Start(const std::vector<std::unique_ptr<PortClaim>>& claims, const StationWorkerMaker& make,
                          const ProbeLineMaker& line) {
    StationSettings settings;
    // Without station mode: one handset on each port, at once.
    settings.station = m_settings.station;
    settings.confirm = m_settings.Confirms();
    settings.confirmTimeout = m_settings.confirmTimeout;
    settings.goneAfter = m_settings.goneAfter;
    settings.budget = m_budget.get();
    settings.flashed = &m_flashed;
    uint32_t source = 0;
    for (const auto& claim : claims) m_ports.push_back(std::make_unique<StationPort>(*claim, ++source));
    m_start = std::chrono::steady_clock::now();
    m_view.BeginStation(m_ports);
    for (auto& port : m_ports) {
        if (!port->claim.Claimed()) {
            // Told and recorded as on any bench, then left alone.
            PortRun refused(port->claim, m_context.queue, port->source, m_keeper.LoadSize());
            m_keeper.End(refused, PortRun::Result::kRefused);
            m_view.Refused(refused);
            port->phase = StationPort::Phase::kRefused;
            m_anyRefused = true;
            m_view.PhaseChanged(*port);
            continue;
        }
        port->loop = std::make_unique<StationLoop>(port->Port(), settings, m_context.queue, port->source, make, line);
        port->loop->Start();
    }
}

void StationRunner::Count(StationPort& port, const PortRun& run) {
    ++port.handsets;
    ++m_recorded;
    switch (run.result) {
    case PortRun::Result::kDone:
        ++port.done;
        if (run.confirmed == false) ++port.unconfirmed;
        break;
    case PortRun::Result::kStopped: ++port.stopped; break;
    default: ++port.failed; break;
    }
}

void StationRunner::Record(StationPort& port, PortRun& run) {
    if (run.recorded) return;
    m_keeper.Record(run);
    Count(port, run);
}

void StationRunner::Take(const MessageQueue::Message& message) {
    if (message.message == platform::StopSignalWatch::MESSAGE) {
        m_stopAsked = true;
        return;
    }
    if (message.source == 0 || message.source > m_ports.size()) return;
    StationPort& port = *m_ports[message.source - 1];
    if (message.message == StationLoop::MESSAGE) {
        StationEvent event;
        if (port.loop && port.loop->TakeEvent(event)) OnEvent(port, event);
        return;
    }
    if (!port.handset) return;
    PortRun& run = *port.handset;
    const bool recorded = run.recorded;
    m_keeper.Take(run, message.message, message.wParam, m_settings.Confirms());
    if (!recorded && run.recorded) Count(port, run);
}

void StationRunner::BeginHandset(StationPort& port, StationEvent& event) {
    auto run = std::make_unique<PortRun>(port.claim, m_context.queue, port.source, m_keeper.LoadSize());
    run->sequence = event.sequence;
    run->worker = std::move(event.worker);
    run->start = std::chrono::steady_clock::now();
    run->startedAt = platform::Now();
    run->esn = event.esn;
    port.handset = std::move(run);
    port.phase = StationPort::Phase::kFlashing;
    port.notice.clear();
}

void StationRunner::OnEvent(StationPort& port, StationEvent& event) {
    using Kind = StationEvent::Kind;
    PortRun* run = port.handset && port.handset->sequence == event.sequence ? port.handset.get() : nullptr;
    switch (event.kind) {
    case Kind::kWaiting:
        port.phase = StationPort::Phase::kWaiting;
        port.handset.reset();  // taken off: the next handset is new
        port.notice.clear();
        break;
    case Kind::kNotice: port.notice = NoticeLine(event.failure, port.Port(), m_context.text); break;
    case Kind::kFlashing: BeginHandset(port, event); break;
    case Kind::kConfirming:
        port.phase = StationPort::Phase::kConfirming;
        port.confirmUntil = event.until;
        break;
    case Kind::kConfirmed:
        if (!run) break;
        run->confirmed = event.answered;
        run->confirmedBy = event.confirmedBy;
        if (event.answered) {
            run->modeAfter = event.mode;
            run->platform = event.platform;
        } else if (event.esn && event.mode != PHONE_MODE_UNKNOWN) {
            run->otherEsn = event.esn;  // another handset answered in its place
        }
        Record(port, *run);
        break;
    case Kind::kKnown:
        port.phase = StationPort::Phase::kWaiting;
        port.handset.reset();  // the one before is recorded: this one is not flashed
        port.notice = FormatTexts(m_context.text(lang::IDS_ALREADY_FLASHED),
                                  {event.esn ? EsnText(*event.esn) : std::string(),
                                   std::to_string(event.earlier.sequence), ClockText(event.earlier.at)});
        break;
    case Kind::kRemoval:
        // A worker that ended without a final status (one that could not run) failed its handset.
        if (run && !run->Ended()) m_keeper.Close(*run, PortRun::Result::kFailed);
        if (run) Record(port, *run);
        port.phase = StationPort::Phase::kRemoval;
        break;
    case Kind::kEnded: port.phase = StationPort::Phase::kEnded; break;
    }
    m_view.PhaseChanged(port);
}

bool StationRunner::Ended() const {
    if (m_budget && m_recorded >= static_cast<unsigned>(*m_settings.maxHandsets)) return true;
    for (const auto& port : m_ports) {
        if (port->phase != StationPort::Phase::kEnded && port->phase != StationPort::Phase::kRefused) return false;
    }
    return true;
}

bool StationRunner::Step(std::chrono::milliseconds wait) {
    if (m_finished) return false;
    MessageQueue::Message message;
    if (m_context.queue.WaitFor(message, wait)) {
        Take(message);
        // Whatever else has come meanwhile, without waiting again.
        while (!m_stopAsked && m_context.queue.WaitFor(message, std::chrono::milliseconds(0))) Take(message);
    }
    for (auto& port : m_ports) {
        if (port->handset) m_keeper.SampleTransfer(*port->handset);
    }
    m_view.Tick();
    return !m_stopAsked && !Ended();
}

void StationRunner::StopLoops() {
    // Every loop is asked first, so they all wind down together; then each is waited for.
    for (auto& port : m_ports) {
        if (port->loop) port->loop->RequestStop();
    }
    // A handset in flight goes on to the end of the block being written: said at once.
    for (auto& port : m_ports) {
        PortRun* run = port->handset.get();
        if (!port->loop || !run || run->Ended() || port->phase != StationPort::Phase::kFlashing) continue;
        m_keeper.SampleTransfer(*run);
        run->stopping = StoppingLineOf(*run, m_context.text);
        m_view.Stopping(*run);
    }
    for (auto& port : m_ports) {
        if (port->loop) port->loop->Join();
    }
}

void StationRunner::Finish() {
    if (m_finished) return;
    StopLoops();
    // What the loops and their workers posted before they ended.
    MessageQueue::Message message;
    while (m_context.queue.WaitFor(message, std::chrono::milliseconds(0))) {
        if (message.message != platform::StopSignalWatch::MESSAGE) Take(message);
    }
    for (auto& port : m_ports) {
        if (!port->handset || port->handset->recorded) continue;
        PortRun& run = *port->handset;
        if (!run.Ended()) {
            m_keeper.Close(run, PortRun::Result::kStopped);
            m_view.Stopped(run);
        } else if (run.result == PortRun::Result::kDone && !run.confirmed) {
            // Done and not yet recorded: the stop came while its restart was waited for, so
            // whether it restarts is not known.
            run.confirmStopped = true;
        }
        Record(*port, run);
    }
    m_finished = true;
    m_view.FinishStation(m_ports, Totals());
}

RunsEnd StationRunner::End() const {
    RunsEnd end;
    end.stopped = m_stopAsked;
    end.recordLost = m_keeper.RecordLost();
    for (const auto& port : m_ports) end.failed = end.failed || port->failed > 0 || port->stopped > 0;
    // One port asked for: its refusal ends the station with the refusal's own reason, as a run.
    if (!end.failed && m_anyRefused && m_settings.singlePort) {
        end.singleRefusal = &m_ports.front()->claim;
    } else {
        end.failed = end.failed || m_anyRefused;
    }
    return end;
}

RunsEnd StationRunner::Run(const std::vector<std::unique_ptr<PortClaim>>& claims, const StationWorkerMaker& make,
                           const ProbeLineMaker& line) {
    Start(claims, make, line);
    while (Step(kPoll)) {}
    Finish();
    return End();
}
