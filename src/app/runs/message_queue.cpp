// SPDX-License-Identifier: Apache-2.0
#include "app/runs/message_queue.h"

void MessageQueue::Post(uint32_t message, uintptr_t wParam) { PostFrom(0, message, wParam); }

void MessageQueue::PostFrom(uint32_t source, uint32_t message, uintptr_t wParam) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back({message, wParam, source});
    }
    m_posted.notify_one();
}

bool MessageQueue::Wait(Message& next) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_posted.wait(lock, [this] { return !m_messages.empty() || m_closed; });
    if (m_messages.empty()) return false;
    next = m_messages.front();
    m_messages.pop_front();
    return true;
}

bool MessageQueue::WaitFor(Message& next, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    // A look without a wait (a window's timer) takes no trip through the kernel.
    if (timeout > std::chrono::milliseconds(0)) {
        m_posted.wait_for(lock, timeout, [this] { return !m_messages.empty() || m_closed; });
    }
    if (m_messages.empty()) return false;
    next = m_messages.front();
    m_messages.pop_front();
    return true;
}

bool MessageQueue::Empty() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages.empty();
}

void MessageQueue::Close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    m_posted.notify_all();
}
