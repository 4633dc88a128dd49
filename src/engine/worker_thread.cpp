// SPDX-License-Identifier: Apache-2.0
#include "engine/worker_thread.h"

#include <cerrno>
#include <chrono>
#include <system_error>

#include "platform/sys_error.h"

CWorkerThread::~CWorkerThread() {
    if (m_thread.joinable()) m_thread.join();
}

bool CWorkerThread::Start(std::function<void()> body, uint32_t exitCode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_started) {
        errno = platform::kErrorBusy;
        return false;
    }
    try {
        m_thread = std::thread([this, body = std::move(body), exitCode] {
            body();
            std::lock_guard<std::mutex> ended(m_mutex);
            m_exitCode = exitCode;
            m_finished = true;
            m_ended.notify_all();
        });
    } catch (const std::system_error& error) {
        errno = platform::SystemErrorOf(error.code());
        return false;
    }
    m_started = true;
    return true;
}

bool CWorkerThread::WaitForEnd(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_started) return true;
    if (timeoutMs < 0) {
        m_ended.wait(lock, [this] { return m_finished; });
        return true;
    }
    return m_ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_finished; });
}

bool CWorkerThread::GetExitCode(uint32_t& exitCode) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_started) return false;
    exitCode = m_finished ? m_exitCode : STILL_ACTIVE;
    return true;
}
