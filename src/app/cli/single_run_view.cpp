// SPDX-License-Identifier: Apache-2.0
#include "app/cli/single_run_view.h"

#include <cstdio>

#include "app/common/format_text.h"
#include "app/runs/station_text.h"
#include "app/runs/status_text.h"
#include "lang/string_ids.h"
#include "serial/handset_identity.h"

namespace {
// Under the status line, lined up with its text.
constexpr const char* kDetailIndent = "        ";
}  // namespace

std::string SummaryLine(const CliSession& session, const PortRun& run) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", run.Seconds());
    return FormatTexts(session.Text()(lang::IDS_SUMMARY),
                       {std::to_string(run.Bytes()), seconds, FormatRate(run.AverageRate())});
}

SingleRunView::SingleRunView(const CliSession& session)
    : m_session(session), m_check(session.Out(), session.Terminal(), session.Text()(lang::IDS_CLI_CHECKING)) {
    m_check.SetLineFormat(session.Text()(lang::IDS_CHECK_PROGRESS));
}

void SingleRunView::CheckProgress(unsigned percent) {
    if (!m_session.Args().quiet) m_check.Show(percent);
}

void SingleRunView::Begin(const std::vector<std::unique_ptr<PortRun>>& runs) {
    m_check.End();
    m_download = std::make_unique<ProgressPrinter>(m_session.Out(), m_session.Terminal(), "Downloading");
    m_download->SetLineFormat(m_session.Text()(lang::IDS_PROGRESS));
    m_run = runs.empty() ? nullptr : runs.front().get();
}

void SingleRunView::Status(const PortRun& run, uint32_t code) {
    m_download->End();
    if (!run.Ended()) return m_session.Print(StatusLineText(code, m_session.Text()));
    m_session.Print(StatusLineText(code, run.failure, m_session.Text()));
    const std::string why = FailureDetailLine(run.lastStatus, run.failure, run.Port(), m_session.Text());
    if (!why.empty()) m_session.Print(kDetailIndent + why);
    if (run.esn && !m_session.Args().quiet)
        m_session.Print(kDetailIndent + FormatText(m_session.Text()(lang::IDS_ESN_LINE), EsnText(*run.esn)));
    PrintSummary(run);
}

void SingleRunView::Progress(const PortRun& run, unsigned percent) {
    if (m_session.Args().quiet || m_session.OutputGone()) return;
    m_committingShown = run.Committing();
    m_download->Show(percent, run.estimate.BytesPerSecond(), run.estimate.SecondsLeft(),
                     m_committingShown ? m_session.Text()(lang::IDS_RUN_COMMITTING) : "");
}

void SingleRunView::Tick() {
    // The last block's bytes are in before the handset commits them (which takes a while): the
    // bar says so then, not only at 100 %.
    if (!m_run || m_run->Ended() || m_committingShown || !m_run->Committing() || !m_session.Terminal()) return;
    Progress(*m_run, m_run->percent);
}

void SingleRunView::Waiting(const PortRun&, const std::string& line) {
    m_download->End();
    m_session.Print(line);
}

void SingleRunView::Stopping(const PortRun& run) {
    m_download->End();
    m_session.Print(run.stopping);
}

void SingleRunView::Stopped(const PortRun& run) {
    m_download->End();
    m_session.Print(StoppedLine(m_session.Text()));
    PrintSummary(run);
}

void SingleRunView::Confirming(const PortRun&) {
    m_session.Print(ConfirmingLine(m_session.Args().confirmTimeoutSeconds, m_session.Text()));
}

void SingleRunView::Recorded(const PortRun& run) {
    if (run.confirmed) m_session.Print(ConfirmedLine(run, m_session.Text()));
}

void SingleRunView::PrintSummary(const PortRun& run) const {
    if (!m_session.Args().quiet) m_session.Print(SummaryLine(m_session, run));
}
