// SPDX-License-Identifier: Apache-2.0
#include "app/cli/port_rows_view.h"

#include <algorithm>
#include <cstdio>

#include "app/cli/status_text.h"
#include "app/cli/summary_table.h"
#include "app/cli/transfer_estimate.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/terminal.h"

namespace {

constexpr int kBarWidth = 24;
constexpr std::chrono::milliseconds kRedrawPause{100};

// Display columns of a code point: East Asian wide characters take two.
int Columns(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6);
    return wide ? 2 : 1;
}

// text cut to fit columns (0: as it is), never inside a character: a row that wrapped would
// throw the redraw off by a line.
std::string FitColumns(const std::string& text, int columns) {
    if (columns <= 0) return text;
    int used = 0;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (size_t k = 1; k < length && i + k < text.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        if (used + Columns(c) > columns) return text.substr(0, i);
        used += Columns(c);
        i += length;
    }
    return text;
}

const char* Phase(const PortRun& run) {
    if (run.hasProgress) return run.percent > 0 ? "downloading" : "switching to download mode";
    if (run.lastStatus == STATUS_DIAG_READY) return "checking the version";
    return "looking for the handset";
}

}  // namespace

PortRowsView::PortRowsView(const CliSession& session) : m_session(session), m_check(session.Out(), true, "Checking") {}

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

std::string PortRowsView::Row(const PortRun& run) const {
    std::string row = run.Port();
    row.resize(m_portWidth + 2, ' ');
    switch (run.result) {
    case PortRun::Result::kRefused: return row + "refused: " + run.claim.Why();
    case PortRun::Result::kStopped: return row + m_session.Text()(lang::IDS_STOPPED);
    case PortRun::Result::kDone:
    case PortRun::Result::kFailed: {
        row += StatusLineText(run.lastStatus, m_session.Text());
        const std::string why = FailureDetailLine(run.lastStatus, run.failure, run.Port(), m_session.Text());
        return why.empty() ? row : row + " " + why;
    }
    case PortRun::Result::kRunning: break;
    }
    // Until the handset answers, the port another program holds is the story.
    if (!run.notice.empty() && run.lastStatus == STATUS_STARTED) return row + run.notice;
    std::string phase = Phase(run);
    phase.resize(27, ' ');
    return row + phase + FormatProgressBar(run.percent, run.estimate.BytesPerSecond(), run.estimate.SecondsLeft(), kBarWidth);
}

void PortRowsView::Redraw() {
    if (!m_runs || !m_dirty) return;
    std::string frame;
    // Back to the first row, then every row rewritten and cleared to its end: one write.
    if (m_drawn) {
        frame += "\x1b[";
        frame += std::to_string(m_runs->size());
        frame += 'A';
    }
    // One column spare: a row that fills the last one makes some terminals wrap.
    const int columns = platform::TerminalColumns(m_session.Out());
    for (const auto& run : *m_runs) {
        frame += '\r';
        frame += FitColumns(Row(*run), columns > 1 ? columns - 1 : 0);
        frame += "\x1b[K\n";
    }
    std::fwrite(frame.data(), 1, frame.size(), m_session.Out());
    std::fflush(m_session.Out());
    m_drawn = true;
    m_dirty = false;
    m_lastDraw = std::chrono::steady_clock::now();
}

void PortRowsView::Tick() {
    if (std::chrono::steady_clock::now() - m_lastDraw >= kRedrawPause) Redraw();
}

void PortRowsView::Finish(const std::vector<std::unique_ptr<PortRun>>& runs) {
    m_dirty = true;
    Redraw();
    std::fputc('\n', m_session.Out());
    std::fputs(SummaryTable(runs).c_str(), m_session.Out());
    std::fflush(m_session.Out());
}
