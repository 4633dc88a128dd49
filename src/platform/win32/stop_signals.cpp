// SPDX-License-Identifier: Apache-2.0
#include "platform/stop_signals.h"

#include <csignal>
#include <system_error>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// The console calls the handler on a thread of its own. It only records the request and wakes
// the watcher, which posts it from the watcher's thread as on Linux.
HANDLE g_requested = nullptr;  // auto-reset: a request not yet posted
HANDLE g_finished = nullptr;   // manual-reset: the watcher has stopped, the program is ending

// Closing the console window (or logging off) ends the process as soon as the handler returns:
// it waits for the run to stop, within the few seconds Windows grants before ending it anyway.
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI OnConsoleControl(DWORD type) {
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: SetEvent(g_requested); return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        SetEvent(g_requested);
        WaitForSingleObject(g_finished, kCloseGraceMs);
        return TRUE;
    default: return FALSE;
    }
}

bool MakeEvents() {
    if (!g_requested) g_requested = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!g_finished) g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return g_requested && g_finished;
}

}  // namespace

StopSignalWatch::~StopSignalWatch() { Stop(); }

bool StopSignalWatch::Install(NotifyTarget* target) {
    if (!MakeEvents()) return false;
    ResetEvent(g_finished);
    // The handler stays in place after Stop, as the signals stay blocked on Linux: a late
    // Ctrl+C is then taken and dropped rather than ending the program half-way.
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE)) return false;
    try {
        m_thread = std::thread([this, target] {
            while (!m_stop.load()) {
                if (WaitForSingleObject(g_requested, 100) != WAIT_OBJECT_0) continue;
                // Every request reads as SIGINT, the number the front end knows.
                m_received.store(SIGINT);
                PostTo(target, MESSAGE, static_cast<uintptr_t>(SIGINT));
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void StopSignalWatch::Stop() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
    if (g_finished) SetEvent(g_finished);
}

void KeepRunningOnFailedWrites() {}

}  // namespace platform
