// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/runs/message_queue.h"
#include "app/runs/station_loop.h"
#include "engine/handset_probe.h"
#include "platform/window_messages.h"

// --confirm on an ordinary run: after the done status, looks for the handset on its port on a
// thread of its own until it answers again or the time is up, then posts MESSAGE under the run's
// source; Answer tells what it found.
class RestartWatch {
public:
    static constexpr uint32_t MESSAGE = WM_USER_BASE + 0x211;

    RestartWatch(const std::string& port, std::chrono::milliseconds timeout, MessageQueue& queue, uint32_t source,
                 const ProbeLineMaker& makeLine = nullptr);
    // Stops the look and waits for it.
    ~RestartWatch();
    RestartWatch(const RestartWatch&) = delete;
    RestartWatch& operator=(const RestartWatch&) = delete;

    // Ends the look at once (its message still comes).
    void Stop() {
        m_stop.store(1);
        m_probe.Wake();
    }
    // What the look found; read after its message.
    ProbeResult Answer() const;

private:
    CHandsetProbe m_probe;
    TaggedTarget m_target;
    std::atomic<int32_t> m_stop{0};
    mutable std::mutex m_mutex;
    ProbeResult m_answer;
    std::thread m_thread;
};
