// SPDX-License-Identifier: Apache-2.0
#include "app/cli/station_lines_view.h"

#include "app/cli/station_summary.h"
#include "app/runs/station_text.h"
#include "lang/string_ids.h"

void StationLinesView::Line(const StationPort& port, const std::string& text) const {
    m_session.Print(port.Port() + ": " + text);
}

void StationLinesView::Recorded(const PortRun& run) {
    const TextLookup& text = m_session.Text();
    std::string outcome;
    switch (run.result) {
    case PortRun::Result::kDone: outcome = ConfirmedLine(run, text); break;
    case PortRun::Result::kStopped: outcome = ResultText(PortRun::Result::kStopped, text); break;
    default: outcome = ResultText(PortRun::Result::kFailed, text); break;
    }
    m_lines.Line(run, HandsetLine(run.sequence, outcome, text));
}

void StationLinesView::PhaseChanged(const StationPort& port) {
    const uint32_t sequence = port.handset ? port.handset->sequence : 0;
    const auto found = m_told.find(&port);
    const bool moved = found == m_told.end() || found->second.phase != port.phase || found->second.sequence != sequence;
    const bool newNotice = found == m_told.end() ? !port.notice.empty() : found->second.notice != port.notice;
    m_told[&port] = Told{port.phase, sequence, port.notice};
    if (moved) {
        switch (port.phase) {
        case StationPort::Phase::kFlashing:
            m_lines.Forget(*port.handset);
            Line(port, HandsetLine(sequence, PhaseText(port, m_session.Text()), m_session.Text()));
            break;
        case StationPort::Phase::kConfirming:  // the run's own line tells it
        case StationPort::Phase::kRefused:     // so does the refusal's
            break;
        case StationPort::Phase::kEnded:
            // A handset stopped in flight gets a line that says what to do with it.
            if (!port.handset || port.handset->recorded) Line(port, PhaseText(port, m_session.Text()));
            break;
        default: Line(port, PhaseText(port, m_session.Text())); break;
        }
    }
    if (newNotice && !port.notice.empty()) Line(port, port.notice);
}

void StationLinesView::FinishStation(const std::vector<std::unique_ptr<StationPort>>& ports,
                                     const BenchTotals& totals) {
    m_session.Write(
        std::string("\n").append(StationSummary(ports, WithRecordsWaiting(m_session, totals), m_session.Text())));
}
