// SPDX-License-Identifier: Apache-2.0
#include "platform/terminal.h"

#include <io.h>

#include <cstdlib>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

// The console behind stream, if any. _isatty alone also says yes for NUL and serial devices. The
// live views redraw with escape sequences ("\r" and erase to the end of the line): a console
// that cannot be switched to take them (before Windows 10) counts as none, and gets plain lines.
HANDLE ConsoleOf(std::FILE* stream) {
    if (!stream) return INVALID_HANDLE_VALUE;
    const int fd = _fileno(stream);
    if (fd < 0 || !_isatty(fd)) return INVALID_HANDLE_VALUE;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return INVALID_HANDLE_VALUE;
    if (!(mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) &&
        !SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

UINT g_previousOutputPage = 0;

void RestoreOutputPage() { SetConsoleOutputCP(g_previousOutputPage); }

}  // namespace

bool IsTerminal(std::FILE* stream) { return ConsoleOf(stream) != INVALID_HANDLE_VALUE; }

int TerminalColumns(std::FILE* stream) {
    HANDLE console = ConsoleOf(stream);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &info)) return 0;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? columns : 0;
}

int TerminalLines(std::FILE* stream) {
    HANDLE console = ConsoleOf(stream);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &info)) return 0;
    const int lines = info.srWindow.Bottom - info.srWindow.Top + 1;
    return lines > 0 ? lines : 0;
}

// The console's code page is the console's, not the program's: it is put back at exit so that the
// window the program ran in shows its other programs' text as before.
void UseUtf8Console() {
    const UINT page = GetConsoleOutputCP();
    if (page == 0 || page == CP_UTF8 || g_previousOutputPage != 0) return;  // no console, or done
    if (!SetConsoleOutputCP(CP_UTF8)) return;
    g_previousOutputPage = page;
    std::atexit(RestoreOutputPage);
}

}  // namespace platform
