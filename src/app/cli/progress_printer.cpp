#include "app/cli/progress_printer.h"

#include <utility>

namespace {

constexpr int kBarWidth = 40;

}  // namespace

ProgressPrinter::ProgressPrinter(std::FILE* out, bool terminal, std::string label)
    : m_out(out), m_terminal(terminal), m_label(std::move(label)) {}

void ProgressPrinter::Show(uintptr_t percent) {
    if (percent > 100) percent = 100;
    if (!m_terminal) {
        std::fprintf(m_out, "%s: %u%%\n", m_label.c_str(), static_cast<unsigned>(percent));
        std::fflush(m_out);
        return;
    }
    char bar[kBarWidth + 1];
    const int filled = static_cast<int>(percent) * kBarWidth / 100;
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(m_out, "\r%s [%s] %3u%%", m_label.c_str(), bar, static_cast<unsigned>(percent));
    std::fflush(m_out);
    m_barOpen = true;
}

void ProgressPrinter::End() {
    if (!m_barOpen) return;
    std::fputc('\n', m_out);
    std::fflush(m_out);
    m_barOpen = false;
}
