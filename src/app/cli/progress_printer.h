#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

// Shows a percentage: on a terminal as one bar redrawn in place, otherwise as one plain line
// per percentage, so logs and pipes stay readable.
class ProgressPrinter {
public:
    ProgressPrinter(std::FILE* out, bool terminal, std::string label);

    void Show(uintptr_t percent);
    // Ends the bar's line, if one was drawn.
    void End();

private:
    std::FILE* m_out;
    bool m_terminal;
    std::string m_label;
    bool m_barOpen = false;
};
