// SPDX-License-Identifier: Apache-2.0
#include "app/cli/station_rows_view.h"

#include <algorithm>
#include <cstdio>

#include "app/cli/port_rows_view.h"
#include "app/cli/station_summary.h"
#include "app/common/format_text.h"
#include "app/common/text_columns.h"
#include "app/runs/station_text.h"
#include "app/runs/status_text.h"
#include "app/runs/transfer_estimate.h"
#include "lang/string_ids.h"
#include "platform/terminal.h"
#include "serial/handset_identity.h"

namespace {

constexpr int kBarWidth = 20;
constexpr size_t kPhaseWidth = 27;
constexpr std::chrono::milliseconds kRedrawPause{100};
// Without a change the rows still move on once a second: the time and the rate per hour.
constexpr std::chrono::milliseconds kQuietRedraw{1000};

// "  7 done   0 failed  ": the counts right-aligned, so the rows' states line up.
std::string Counts(const StationPort& port, const TextLookup& text) {
    char done[16];
    char failed[16];
    std::snprintf(done, sizeof done, "%3u", port.done);
    std::snprintf(failed, sizeof failed, "%3u", port.failed);
    return FormatText(text(lang::IDS_COUNT_DONE), done) + " " + FormatText(text(lang::IDS_COUNT_FAILED), failed) + "  ";
}

}  // namespace

StationRowsView::StationRowsView(const CliSession& session)
    : m_session(session), m_check(session.Out(), true, session.Text()(lang::IDS_CLI_CHECKING)) {}

void StationRowsView::CheckProgress(unsigned percent) {
    if (!m_session.Args().quiet) m_check.Show(percent);
}

void StationRowsView::BeginStation(const std::vector<std::unique_ptr<StationPort>>& ports) {
    m_check.End();
    m_ports = &ports;
    m_start = std::chrono::steady_clock::now();
    for (const auto& port : ports) m_portWidth = std::max(m_portWidth, port->Port().size());
    m_dirty = true;
    Redraw(TotalsOf(ports, 0));
}

std::string StationRowsView::Row(const StationPort& port) const {
    const TextLookup& text = m_session.Text();
    std::string row = PadColumns(port.Port(), m_portWidth + 2);
    if (port.phase == StationPort::Phase::kRefused) return row + PhaseText(port, text);
    row += Counts(port, text);
    const PortRun* handset = port.handset.get();
    if (handset) row.append("#").append(std::to_string(handset->sequence)).append(" ");
    if (handset && handset->esn) row.append(EsnText(*handset->esn)).append(" ");
    if (port.phase == StationPort::Phase::kFlashing && handset && !handset->Ended()) {
        // Until the handset answers, the port another program holds is the story.
        if (!handset->notice.empty() && !handset->hasProgress) return row + handset->notice;
        if (!handset->stopping.empty()) return row + handset->stopping;
        const std::string phase = PadColumns(RunPhaseText(*handset, text), kPhaseWidth);
        const double left = handset->Committing() ? -1 : handset->estimate.SecondsLeft();
        return row + phase +
               FormatProgressBar(handset->percent, handset->estimate.BytesPerSecond(), left, kBarWidth,
                                 text(lang::IDS_TIME_LEFT));
    }
    row += PhaseText(port, text);
    // A failed handset's row keeps its failure until it is taken off.
    if (handset && handset->result == PortRun::Result::kFailed) {
        row += "  " + StatusLineText(handset->lastStatus, handset->failure, text);
        const std::string why = FailureDetailLine(handset->lastStatus, handset->failure, port.Port(), text);
        row = JoinSentences(row, why);
    }
    if (!port.notice.empty()) row += ": " + port.notice;
    return row;
}

std::string StationRowsView::Cell(const StationPort& port) const {
    const TextLookup& text = m_session.Text();
    const PortRun* handset = port.handset.get();
    switch (port.phase) {
    case StationPort::Phase::kWaiting: return CellWord(kCellWait, text) + (port.notice.empty() ? "" : "!");
    case StationPort::Phase::kFlashing:
        return handset && handset->hasProgress ? std::to_string(handset->percent).append("%")
                                               : CellWord(kCellLook, text);
    case StationPort::Phase::kConfirming: return CellWord(kCellRestart, text);
    case StationPort::Phase::kRemoval:
        if (handset && handset->result == PortRun::Result::kFailed) {
            char code[16];
            std::snprintf(code, sizeof code, "F%02X!", static_cast<unsigned>(handset->lastStatus & 0xFF));
            return code;
        }
        return CellWord(kCellRemove, text);
    case StationPort::Phase::kEnded:
        return CellWord(handset && handset->result == PortRun::Result::kStopped ? kCellStop : kCellEnd, text);
    case StationPort::Phase::kRefused: return ResultText(PortRun::Result::kRefused, text);
    }
    return "?";
}

std::vector<std::string> StationRowsView::Lines(int columns, int lines, const BenchTotals& totals) const {
    if (!m_ports) return {};
    const int width = columns > 1 ? columns - 1 : 0;
    std::vector<std::string> out;
    const std::string bench = FitColumns(BenchLine(WithRecordsWaiting(m_session, totals), m_session.Text()), width);
    // The rows, the bench line and the line the cursor waits on.
    if (lines <= 0 || m_ports->size() + 2 <= static_cast<size_t>(lines)) {
        for (const auto& port : *m_ports) out.push_back(FitColumns(Row(*port), width));
        out.push_back(bench);
        return out;
    }
    const size_t cellWidth = m_portWidth + 1 + 8;
    std::vector<std::string> cells;
    for (const auto& port : *m_ports) {
        cells.push_back(PadColumns(port->Port(), m_portWidth + 1) + Cell(*port));
    }
    out = PackCells(cells, cellWidth, width, SIZE_MAX, CellWord(kCellMore, m_session.Text()));
    // Never more than the terminal holds: the bench line stays, the last cells give way.
    if (lines > 1 && out.size() + 2 > static_cast<size_t>(lines)) out.resize(static_cast<size_t>(lines - 2));
    out.push_back(bench);
    return out;
}

void StationRowsView::Redraw(const BenchTotals& totals) {
    if (!m_ports) return;
    const std::vector<std::string> lines =
        Lines(platform::TerminalColumns(m_session.Out()), platform::TerminalLines(m_session.Out()), totals);
    m_session.Write(RedrawFrame(lines, m_drawnLines));
    m_drawnLines = lines.size();
    m_dirty = false;
    m_lastDraw = std::chrono::steady_clock::now();
}

void StationRowsView::Stopping(const PortRun&) {
    // The runner waits for the handsets next: the rows say it now, not at the next tick.
    if (!m_ports) return;
    m_dirty = true;
    Redraw(TotalsOf(*m_ports, std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count()));
}

void StationRowsView::Tick() {
    if (!m_ports) return;
    const auto since = std::chrono::steady_clock::now() - m_lastDraw;
    if ((m_dirty && since >= kRedrawPause) || since >= kQuietRedraw) {
        Redraw(TotalsOf(*m_ports, std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count()));
    }
}

void StationRowsView::FinishStation(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals) {
    m_dirty = true;
    Redraw(totals);
    m_session.Write(
        std::string("\n").append(StationSummary(ports, WithRecordsWaiting(m_session, totals), m_session.Text())));
}
