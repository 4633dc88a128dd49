// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/notify_target.h"

namespace platform {

// Turns the requests to stop (SIGINT, SIGTERM and SIGHUP on Linux; Ctrl+C, Ctrl+Break and the
// console closing on Windows) into a message on a notification target, so that the front end's
// own thread handles them like any other event (no work in a signal handler).
//
// Install() must run before any other thread starts: on Linux it blocks the signals for the
// whole process (threads inherit the mask), and the watcher takes them with sigtimedwait.
class StopSignalWatch {
public:
    // The message posted; wParam is the signal number (SIGINT's for Ctrl+C on Windows).
    static constexpr uint32_t MESSAGE = 0x7F01;

    ~StopSignalWatch();
    // Starts watching, posting to target. False when it cannot.
    bool Install(NotifyTarget* target);
    // Ends the watcher (the signals stay blocked). Idempotent.
    void Stop();
    // The last signal taken, 0 when none.
    int Received() const { return m_received.load(); }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_received{0};
};

// Makes a write that cannot be done fail with an error instead of ending the program: a write to
// a pipe whose reader has gone (EPIPE rather than SIGPIPE) and one past the file size limit
// (EFBIG rather than SIGXFSZ). The runs then go on, and their records are kept or told as lost.
// Nothing to do on Windows, where neither ends a program.
void KeepRunningOnFailedWrites();

}  // namespace platform
