#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/notify_target.h"

// Turns SIGINT, SIGTERM and SIGHUP into a message on a notification target, so that the front end's
// own thread handles them like any other event (no work in a signal handler).
//
// Install() must run before any other thread starts: it blocks the signals for the whole
// process (threads inherit the mask), and the watcher takes them with sigtimedwait.
class SignalWatch {
public:
    // The message posted; wParam is the signal number.
    static constexpr uint32_t MESSAGE = 0x7F01;

    ~SignalWatch();
    // Blocks the signals and starts the watcher, posting to target. False when it cannot.
    bool Install(platform::NotifyTarget* target);
    // Ends the watcher (the signals stay blocked). Idempotent.
    void Stop();
    // The last signal taken, 0 when none.
    int Received() const { return m_received.load(); }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_received{0};
};
