// SPDX-License-Identifier: Apache-2.0
#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

bool IsTerminal(std::FILE* stream) { return stream && isatty(fileno(stream)) == 1; }

int TerminalColumns(std::FILE* stream) {
    if (!IsTerminal(stream)) return 0;
    struct winsize size {};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

int TerminalLines(std::FILE* stream) {
    if (!IsTerminal(stream)) return 0;
    struct winsize size {};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_row;
}

void UseUtf8Console() {}

}  // namespace platform
