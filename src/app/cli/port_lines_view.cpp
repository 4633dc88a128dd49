// SPDX-License-Identifier: Apache-2.0
#include "app/cli/port_lines_view.h"

#include "app/cli/summary_table.h"
#include "app/common/format_text.h"
#include "app/runs/station_text.h"
#include "app/runs/status_text.h"
#include "lang/string_ids.h"
#include "serial/handset_identity.h"

PortLinesView::PortLinesView(const CliSession& session)
    : m_session(session), m_check(session.Out(), false, session.Text()(lang::IDS_CLI_CHECKING)) {
    m_check.SetLineFormat(session.Text()(lang::IDS_CHECK_PROGRESS));
}

void PortLinesView::Line(const PortRun& run, const std::string& text) const {
    m_session.Print(run.Port() + ": " + text);
}

void PortLinesView::CheckProgress(unsigned percent) {
    if (!m_session.Args().quiet) m_check.Show(percent);
}

void PortLinesView::Refused(const PortRun& run) { Line(run, RefusedLine(run.claim, m_session.Text())); }

void PortLinesView::Status(const PortRun& run, uint32_t code) {
    if (!run.Ended()) return Line(run, StatusLineText(code, m_session.Text()));
    Line(run, StatusLineText(code, run.failure, m_session.Text()));
    const std::string why = FailureDetailLine(run.lastStatus, run.failure, run.Port(), m_session.Text());
    if (!why.empty()) Line(run, "        " + why);
    if (run.esn && !m_session.Args().quiet)
        Line(run, "        " + FormatText(m_session.Text()(lang::IDS_ESN_LINE), EsnText(*run.esn)));
}

void PortLinesView::Progress(const PortRun& run, unsigned percent) {
    if (m_session.Args().quiet) return;
    const unsigned tenth = percent / 10;
    const auto shown = m_tenthShown.find(&run);
    if (shown != m_tenthShown.end() && shown->second >= tenth) return;
    m_tenthShown[&run] = tenth;
    Line(run, FormatNumber(m_session.Text()(lang::IDS_PROGRESS), percent));
}

void PortLinesView::Waiting(const PortRun& run, const std::string& line) { Line(run, line); }

void PortLinesView::Stopping(const PortRun& run) { Line(run, run.stopping); }

void PortLinesView::Stopped(const PortRun& run) { Line(run, StoppedLine(m_session.Text())); }

void PortLinesView::Confirming(const PortRun& run) {
    Line(run, ConfirmingLine(m_session.Args().confirmTimeoutSeconds, m_session.Text()));
}

void PortLinesView::Recorded(const PortRun& run) {
    if (run.confirmed) Line(run, ConfirmedLine(run, m_session.Text()));
}

void PortLinesView::Finish(const std::vector<std::unique_ptr<PortRun>>& runs) {
    std::string text = "\n";
    text += SummaryTable(runs, m_session.Text());
    m_session.Write(text);
}
