// SPDX-License-Identifier: Apache-2.0
#include "app/runs/run_keeper.h"

#include <algorithm>

#include "app/common/format_text.h"
#include "app/runs/run_outcome.h"
#include "app/runs/run_records.h"
#include "engine/dl_packets.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/window_messages.h"

void RunKeeper::Take(PortRun& run, uint32_t message, uintptr_t value, bool confirm) {
    if (run.Ended()) return;
    if (run.worker && !run.esn) run.esn = run.worker->HandsetEsn();
    if (message == WM_DL_STATUS) OnStatus(run, static_cast<uint32_t>(value), confirm);
    if (message == WM_DL_PROGRESS) {
        run.hasProgress = true;
        run.percent = static_cast<unsigned>(value);
        SampleTransfer(run);
        m_view.Progress(run, run.percent);
    }
    if (message == WM_DL_NOTICE && value == NOTICE_PORT_BUSY) {
        run.notice = PortBusyLine(run.worker->LastNotice(), run.Port(), m_context.text);
        if (!run.notice.empty()) m_view.Waiting(run, run.notice);
    }
}

void RunKeeper::OnStatus(PortRun& run, uint32_t code, bool confirm) {
    run.lastStatus = code;
    if (!IsFinalStatus(code)) {
        m_view.Status(run, code);
        return;
    }
    run.failure = run.worker->LastFailure();
    PortRun::Result result = code == STATUS_DONE ? PortRun::Result::kDone : PortRun::Result::kFailed;
    // Every port of the list is tried: one with nothing on it is not a failed handset. (A
    // station flashes only a handset that answered: one gone by then has failed.)
    if (m_settings.portsFromList && !m_settings.station && code == STATUS_ERR_PORT &&
        run.failure.port.kind == PortFailure::Kind::kNoAnswer) {
        result = PortRun::Result::kEmpty;
    }
    Close(run, result);
    const bool confirming = confirm && code == STATUS_DONE;
    // A record that follows at once is stored before the final line tells the run's end.
    if (!confirming) Store(run);
    m_view.Status(run, code);
    if (confirming) {
        m_view.Confirming(run);
    } else {
        Record(run);
    }
}

void RunKeeper::SampleTransfer(PortRun& run) {
    if (run.Ended() || !run.worker) return;
    // The engine's time of the first packet, where it tells one: a look here may come up to a
    // poll late, which a fast line would feel in its first block.
    if (const auto blocks = run.worker->BlockPhaseStart()) {
        run.estimate.Begin(std::min<uint64_t>(dlpacket::WRITE_DATA_MAX, m_loadSize),
                           std::chrono::duration<double>(*blocks - run.start).count());
    }
    run.estimate.Sample(run.ConfirmedBytes(), run.Seconds());
}

void RunKeeper::Close(PortRun& run, PortRun::Result result) {
    run.result = result;
    run.end = std::chrono::steady_clock::now();
    run.endedAt = platform::Now();
}

void RunKeeper::Record(PortRun& run) {
    if (run.recorded) return;
    run.recorded = true;
    LogRunOutcome(run, OutcomeOf(run, m_context.text), m_loadVersion);
    Store(run);
    if (run.result != PortRun::Result::kRefused) m_view.Recorded(run);
    if (!m_report) return;
    if (const int error = m_report->Append(run); error != 0) {
        m_recordLost = true;
        m_view.RecordLost(run, error);
        if (m_context.warn) {
            m_context.warn("the report row of " + run.Port() + " is lost: " + m_report->Problem(error));
        }
    }
}

void RunKeeper::Store(PortRun& run) {
    if (run.stored || !m_context.records || !LeavesRecord(run)) return;
    run.stored = true;
    if (const StoreFailure failure = m_context.records->Store(run, m_context.text)) {
        m_recordLost = true;
        const std::string line = FormatTexts(m_context.text(lang::IDS_RECORDS_LOST),
                                             {run.Port(), m_context.records->Path(), failure.detail});
        m_view.StoreLost(run, line);
        if (m_context.warn) m_context.warn(line);
    }
}

void RunKeeper::End(PortRun& run, PortRun::Result result) {
    Close(run, result);
    Record(run);
}
