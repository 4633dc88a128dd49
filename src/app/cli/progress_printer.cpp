// SPDX-License-Identifier: Apache-2.0
#include "app/cli/progress_printer.h"

#include <utility>

#include "app/common/format_text.h"
#include "app/runs/transfer_estimate.h"

namespace {

constexpr int kBarWidth = 40;

}  // namespace

ProgressPrinter::ProgressPrinter(std::FILE* out, bool terminal, std::string label)
    : m_out(out), m_terminal(terminal), m_label(std::move(label)) {}

void ProgressPrinter::Show(uintptr_t percent, double bytesPerSecond, double secondsLeft, const std::string& note) {
    if (percent > 100) percent = 100;
    const auto value = static_cast<unsigned>(percent);
    if (!m_terminal) {
        // A log or a pipe gets a line per tenth, not a hundred lines per run.
        const unsigned tenth = value / 10;
        if (m_lastTenth >= 0 && static_cast<int>(tenth) <= m_lastTenth) return;
        m_lastTenth = static_cast<int>(tenth);
        if (m_lineFormat.empty()) {
            std::fprintf(m_out, "%s: %u%%\n", m_label.c_str(), value);
        } else {
            std::fprintf(m_out, "%s\n", FormatNumber(m_lineFormat, value).c_str());
        }
        std::fflush(m_out);
        return;
    }
    std::string bar = FormatProgressBar(value, bytesPerSecond, note.empty() ? secondsLeft : -1, kBarWidth);
    if (!note.empty()) bar += "  " + note;
    // \r and "erase to the end of the line" redraw the bar in place.
    std::fprintf(m_out, "\r%s %s\x1b[K", m_label.c_str(), bar.c_str());
    std::fflush(m_out);
    m_barOpen = true;
}

void ProgressPrinter::End() {
    if (!m_barOpen) return;
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_barOpen = false;
}
