// SPDX-License-Identifier: Apache-2.0
#include "platform/auto_reset_event.h"

#include <chrono>

namespace platform {

void AutoResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    m_cond.notify_one();
}

void AutoResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool AutoResetEvent::Wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (timeoutMs < 0) {
        m_cond.wait(lock, [this] { return m_signalled; });
    } else if (!m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_signalled; })) {
        return false;
    }
    m_signalled = false;
    return true;
}

}  // namespace platform
