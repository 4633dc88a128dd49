// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>

namespace platform {

// True when stream writes to a terminal (a live view can redraw there).
bool IsTerminal(std::FILE* stream);
// The terminal's width in columns; 0 when stream is no terminal or the width is unknown.
int TerminalColumns(std::FILE* stream);
// The terminal's height in lines; 0 when stream is no terminal or the height is unknown.
int TerminalLines(std::FILE* stream);
// Lets a console show the UTF-8 text the program writes, until the program ends. A Windows
// console shows bytes in a code page of its own; a Linux terminal needs nothing.
void UseUtf8Console();

}  // namespace platform
