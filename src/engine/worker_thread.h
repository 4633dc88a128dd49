// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// A thread with the handle semantics the operator relies on: wait for its end with a limit, and
// ask for its exit code, which reads STILL_ACTIVE while the body runs.
class CWorkerThread {
public:
    static constexpr uint32_t STILL_ACTIVE = 259;
    static constexpr int INFINITE_WAIT = -1;

    CWorkerThread() = default;
    // Waits for the body to end: a thread is never left running on a destroyed object.
    ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    // Runs body on a new thread; its exit code becomes exitCode when body returns. False (errno
    // set) when the thread cannot be created or one was already started on this object.
    bool Start(std::function<void()> body, uint32_t exitCode = 0);

    // Waits up to timeoutMs (INFINITE_WAIT: no limit). True when the body has ended.
    bool WaitForEnd(int timeoutMs);

    // STILL_ACTIVE while the body runs, then its exit code. False when no thread was started.
    bool GetExitCode(uint32_t& exitCode) const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_started = false;
    bool m_finished = false;
    uint32_t m_exitCode = 0;
    std::thread m_thread;
};
