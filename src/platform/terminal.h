#pragma once
#include <cstdio>

namespace platform {

// True when stream writes to a terminal (a live view can redraw there).
bool IsTerminal(std::FILE* stream);
// The terminal's width in columns; 0 when stream is no terminal or the width is unknown.
int TerminalColumns(std::FILE* stream);

}  // namespace platform
