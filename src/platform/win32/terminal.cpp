// SPDX-License-Identifier: Apache-2.0
#include "platform/terminal.h"

#include <io.h>

#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

// What the program changed in the consoles it writes to, put back at exit: a console belongs to
// the window the program ran in, and the programs that run there after it expect their own
// settings. Each output handle's mode is kept as found on its first change.
struct ConsoleChanges {
    std::mutex lock;
    std::vector<std::pair<HANDLE, DWORD>> modes;
    UINT outputPage = 0;
    bool registered = false;
};

ConsoleChanges& Changes() {
    static ConsoleChanges* changes = new ConsoleChanges;  // never destroyed: used at exit
    return *changes;
}

void RestoreConsole() {
    ConsoleChanges& changes = Changes();
    std::lock_guard<std::mutex> hold(changes.lock);
    for (const auto& [handle, mode] : changes.modes) SetConsoleMode(handle, mode);
    changes.modes.clear();
    if (changes.outputPage != 0) SetConsoleOutputCP(changes.outputPage);
    changes.outputPage = 0;
}

// Called with the lock held.
void RestoreAtExit(ConsoleChanges& changes) {
    if (changes.registered) return;
    changes.registered = true;
    std::atexit(RestoreConsole);
}

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
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return handle;
    ConsoleChanges& changes = Changes();
    std::lock_guard<std::mutex> hold(changes.lock);
    if (!SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return INVALID_HANDLE_VALUE;
    changes.modes.emplace_back(handle, mode);
    RestoreAtExit(changes);
    return handle;
}

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

void UseUtf8Console() {
    const UINT page = GetConsoleOutputCP();
    if (page == 0 || page == CP_UTF8) return;  // no console, or nothing to do
    ConsoleChanges& changes = Changes();
    std::lock_guard<std::mutex> hold(changes.lock);
    if (changes.outputPage != 0 || !SetConsoleOutputCP(CP_UTF8)) return;
    changes.outputPage = page;
    RestoreAtExit(changes);
}

}  // namespace platform
