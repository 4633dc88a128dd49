// SPDX-License-Identifier: Apache-2.0
#include "app/common/main_window_records.h"

#include "app/common/format_text.h"
#include "app/runs/load_digest.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "log/log.h"

std::string MainWindowRecords::Open(const CDLParameter& package, const std::string& programPath) {
    if (m_path.empty() || m_store) return {};
    StoreFailure failure;
    m_store = OpenRunStore(m_path, true, failure);
    if (!m_store) return StoreProblem(failure, m_path, m_text);
    m_origin = ThisStation(package.GetVersion(), LoadSha256(programPath, package.GetLoadSize()));
    return {};
}

void MainWindowRecords::Begin(std::string port, std::string device) {
    m_run = Run{std::move(port), std::move(device), platform::Now(), std::chrono::steady_clock::now()};
}

std::string MainWindowRecords::Ended(const CDLOperator& op, uint32_t code, std::string reason) {
    RunOutcome outcome;
    outcome.result = ResultWord(code == STATUS_DONE ? PortRun::Result::kDone : PortRun::Result::kFailed);
    outcome.code = code;
    outcome.reason = std::move(reason);
    return Write(op, std::move(outcome));
}

std::string MainWindowRecords::Stopped(const CDLOperator& op, uint32_t lastStatus) {
    RunOutcome outcome;
    outcome.result = ResultWord(PortRun::Result::kStopped);
    if (lastStatus != 0) outcome.code = lastStatus;
    return Write(op, std::move(outcome));
}

std::string MainWindowRecords::Write(const CDLOperator& op, RunOutcome outcome) {
    if (!m_run) return {};
    const Run run = std::move(*m_run);
    m_run.reset();
    if (!m_store) return {};
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - run.start).count();
    ProductionRecord record =
        RecordOf(RunFacts{run.port, run.device, run.startedAt, platform::Now(), std::move(outcome), op.HandsetEsn(),
                          op.HandsetVersion(), seconds, op.BytesSent()},
                 m_origin);
    const StoreFailure failure = m_store->Append(record);
    if (!failure) return {};
    // As the bench window tells it: the port, the store and why.
    const std::string line = FormatTexts(m_text(lang::IDS_RECORDS_LOST), {run.port, m_path, failure.detail});
    LogWritePort(LOG_ER, run.port.c_str(), "CVexlorDlg::OnDloadStatus", "%s", line.c_str());
    return line;
}
