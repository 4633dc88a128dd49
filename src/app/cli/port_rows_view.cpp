// SPDX-License-Identifier: Apache-2.0
#include "app/cli/port_rows_view.h"

#include <algorithm>
#include <cstdio>

#include "app/cli/summary_table.h"
#include "app/common/format_text.h"
#include "app/common/text_columns.h"
#include "app/runs/station_text.h"
#include "app/runs/status_text.h"
#include "app/runs/transfer_estimate.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/terminal.h"
#include "platform/utf8.h"

namespace {

constexpr int kBarWidth = 24;
constexpr size_t kPhaseWidth = 27;
constexpr std::chrono::milliseconds kRedrawPause{100};
constexpr const char* kCutMark = "\xE2\x80\xA6";  // "…", one column
constexpr size_t kCellText = 8;                   // "refused", "42%", "commit"

// A port's few characters in the compact view.
std::string Cell(const PortRun& run, const TextLookup& text) {
    switch (run.result) {
    case PortRun::Result::kRunning:
        if (run.Committing()) return CellWord(kCellCommit, text);
        return run.hasProgress ? std::to_string(run.percent) + "%" : CellWord(kCellLooking, text);
    case PortRun::Result::kFailed: {
        char code[16];
        std::snprintf(code, sizeof code, "%03X", static_cast<unsigned>(run.lastStatus));
        return code;
    }
    default: return ResultText(run.result, text);
    }
}

}  // namespace

std::string RunPhaseText(const PortRun& run, const TextLookup& text) {
    if (run.Committing()) return text(lang::IDS_RUN_COMMITTING);
    if (run.hasProgress) return text(run.percent > 0 ? lang::IDS_RUN_DOWNLOADING : lang::IDS_RUN_SWITCHING);
    if (run.lastStatus == STATUS_DIAG_READY) return text(lang::IDS_RUN_VERSION);
    return text(lang::IDS_RUN_LOOKING);
}

std::string RedrawFrame(const std::vector<std::string>& lines, size_t drawnBefore) {
    std::string frame;
    if (drawnBefore > 0) frame += "\x1b[" + std::to_string(drawnBefore) + "A";
    for (const std::string& line : lines) frame += "\r" + line + "\x1b[K\n";
    return frame + "\x1b[J";
}

std::vector<std::string> PackCells(const std::vector<std::string>& cells, size_t cellWidth, int width, size_t maxLines,
                                   const std::string& more) {
    const size_t perLine = width > 0 ? std::max<size_t>(1, static_cast<size_t>(width) / cellWidth) : cells.size();
    const size_t room = maxLines == SIZE_MAX ? SIZE_MAX : maxLines * perLine;
    std::vector<std::string> out;
    std::string line;
    size_t shown = 0;
    for (const std::string& text : cells) {
        if (room == 0) break;
        if (shown + 1 == room && cells.size() > room) {
            line += '+';
            line += std::to_string(cells.size() - shown);
            line += ' ';
            line += more;
            break;
        }
        // By columns, not bytes: a cell may hold wide characters.
        line += PadColumns(FitColumns(text, static_cast<int>(cellWidth)), cellWidth);
        if (++shown % perLine == 0) {
            out.push_back(FitColumns(line, width));
            line.clear();
        }
    }
    if (!line.empty()) out.push_back(FitColumns(line, width));
    return out;
}

std::string FitColumns(const std::string& text, int columns) {
    if (columns <= 0) return text;
    int used = 0;
    size_t keep = 0;  // the bytes that fit with room left for the mark
    for (size_t at = 0; at < text.size();) {
        const int width = CodePointColumns(platform::NextCodePoint(text, at));
        if (used + width > columns) return text.substr(0, keep) + kCutMark;
        used += width;
        if (used <= columns - 1) keep = at;
    }
    return text;
}

PortRowsView::PortRowsView(const CliSession& session)
    : m_session(session), m_check(session.Out(), true, session.Text()(lang::IDS_CLI_CHECKING)) {}

void PortRowsView::CheckProgress(unsigned percent) {
    if (!m_session.Args().quiet) m_check.Show(percent);
}

void PortRowsView::Begin(const std::vector<std::unique_ptr<PortRun>>& runs) {
    m_check.End();
    m_runs = &runs;
    for (const auto& run : runs) m_portWidth = std::max(m_portWidth, run->Port().size());
    m_dirty = true;
    Redraw();
}

void PortRowsView::Status(const PortRun& run, uint32_t) { Changed(run); }

void PortRowsView::Waiting(const PortRun& run, const std::string&) { Changed(run); }

void PortRowsView::Stopping(const PortRun& run) {
    // The runner waits for the runs next: the rows say it now, not at the next tick.
    Changed(run);
    Redraw();
}

std::string PortRowsView::Row(const PortRun& run) const {
    const TextLookup& text = m_session.Text();
    const std::string row = PadColumns(run.Port(), m_portWidth + 2);
    switch (run.result) {
    case PortRun::Result::kRefused: return row + RefusedLine(run.claim, text);
    case PortRun::Result::kStopped: return row + StoppedLine(text);
    case PortRun::Result::kRunning: break;
    default: {
        const std::string status = row + StatusLineText(run.lastStatus, run.failure, text);
        if (run.result == PortRun::Result::kDone && !run.recorded && m_session.Args().confirm)
            return JoinSentences(status, ConfirmingLine(m_session.Args().confirmTimeoutSeconds, text));
        if (run.result == PortRun::Result::kDone && run.confirmed)
            return JoinSentences(status, ConfirmedLine(run, text));
        const std::string why = FailureDetailLine(run.lastStatus, run.failure, run.Port(), text);
        return JoinSentences(status, why);
    }
    }
    if (!run.stopping.empty()) return row + run.stopping;
    // Until the handset answers, the port another program holds is the story.
    if (!run.notice.empty() && run.lastStatus == STATUS_STARTED) return row + run.notice;
    const std::string phase = PadColumns(RunPhaseText(run, text), kPhaseWidth);
    const double left = run.Committing() ? -1 : run.estimate.SecondsLeft();
    return row + phase +
           FormatProgressBar(run.percent, run.estimate.BytesPerSecond(), left, kBarWidth, text(lang::IDS_TIME_LEFT));
}

std::vector<std::string> PortRowsView::Lines(int columns, int lines) const {
    if (!m_runs) return {};
    // One column spare: a row that fills the last one makes some terminals wrap. One line spare
    // too: the cursor waits on the line under the rows.
    const int width = columns > 1 ? columns - 1 : 0;
    if (lines > 0 && m_runs->size() > static_cast<size_t>(lines - 1)) return CompactLines(width, lines - 1);
    std::vector<std::string> out;
    for (const auto& run : *m_runs) out.push_back(FitColumns(Row(*run), width));
    return out;
}

std::vector<std::string> PortRowsView::CompactLines(int width, int lines) const {
    size_t counts[6] = {};
    for (const auto& run : *m_runs) ++counts[static_cast<int>(run->result)];
    const TextLookup& text = m_session.Text();
    std::string head = FormatText(text(lang::IDS_PORTS_COUNT), std::to_string(m_runs->size()));
    const PortRun::Result order[] = {PortRun::Result::kRunning, PortRun::Result::kDone,    PortRun::Result::kFailed,
                                     PortRun::Result::kEmpty,   PortRun::Result::kStopped, PortRun::Result::kRefused};
    for (const PortRun::Result result : order) {
        const size_t n = counts[static_cast<int>(result)];
        if (n == 0) continue;
        head += ' ';
        head += std::to_string(n);
        head += ' ';
        head += ResultText(result, text);
        head += ',';
    }
    if (head.back() == ',') head.pop_back();
    std::vector<std::string> out{FitColumns(head, width)};
    const size_t cellWidth = m_portWidth + 1 + kCellText + 2;
    std::vector<std::string> cells;
    for (const auto& run : *m_runs) {
        cells.push_back(PadColumns(run->Port(), m_portWidth + 1) + Cell(*run, text));
    }
    const std::vector<std::string> packed =
        PackCells(cells, cellWidth, width, lines > 1 ? static_cast<size_t>(lines - 1) : 0, CellWord(kCellMore, text));
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}

void PortRowsView::Redraw() {
    if (!m_runs || !m_dirty) return;
    const std::vector<std::string> lines =
        Lines(platform::TerminalColumns(m_session.Out()), platform::TerminalLines(m_session.Out()));
    m_session.Write(RedrawFrame(lines, m_drawnLines));
    m_drawnLines = lines.size();
    m_dirty = false;
    m_lastDraw = std::chrono::steady_clock::now();
}

void PortRowsView::Tick() {
    if (std::chrono::steady_clock::now() - m_lastDraw >= kRedrawPause) Redraw();
}

void PortRowsView::Finish(const std::vector<std::unique_ptr<PortRun>>& runs) {
    m_dirty = true;
    Redraw();
    std::string text = "\n";
    text += SummaryTable(runs, m_session.Text());
    m_session.Write(text);
}
