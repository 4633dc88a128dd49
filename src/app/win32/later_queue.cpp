// SPDX-License-Identifier: Apache-2.0
#include "app/win32/later_queue.h"

void CLaterQueue::Add(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    PostMessageW(m_window, kMessage, 0, 0);
}

void CLaterQueue::RunOne() {
    std::function<void()> work;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_work.empty()) return;
        work = std::move(m_work.front());
        m_work.pop_front();
    }
    work();
}
