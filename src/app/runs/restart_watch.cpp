// SPDX-License-Identifier: Apache-2.0
#include "app/runs/restart_watch.h"

RestartWatch::RestartWatch(const std::string& port, std::chrono::milliseconds timeout, MessageQueue& queue,
                           uint32_t source, const ProbeLineMaker& makeLine)
    : m_probe(makeLine ? makeLine(port) : platform::MakeSystemSerialLine()), m_target(queue, source) {
    m_probe.SetStopRequest(&m_stop);
    m_thread = std::thread([this, port, timeout] {
        ProbeResult answer = m_probe.WaitForAnswer(port, timeout, true);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_answer = std::move(answer);
        }
        m_target.Post(MESSAGE, 0);
    });
}

RestartWatch::~RestartWatch() {
    Stop();
    if (m_thread.joinable()) m_thread.join();
}

ProbeResult RestartWatch::Answer() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answer;
}
