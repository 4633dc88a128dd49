// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "serial/serial_io.h"

// A channel owner for tests: records every event and can hold the listener inside OnEvent.
class TestChannel : public CSerialIO {
public:
    explicit TestChannel(std::unique_ptr<platform::SerialLine> line = platform::MakeSystemSerialLine())
        : CSerialIO(std::move(line)) {}
    ~TestChannel() override { DestroyChannel(); }

    void OnEvent(EChannelEvent event) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_events.push_back(event);
        m_changed.notify_all();
        if (event == m_blockOn) m_released.wait(lock, [this] { return m_release; });
    }

    // Holds the listener inside OnEvent(event) until Release.
    void BlockOn(EChannelEvent event) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_blockOn = event;
        m_release = false;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_release = true;
        m_blockOn = kNoEvent;
        m_released.notify_all();
    }

    // Waits (real time) until event has been raised count times in all.
    bool WaitFor(EChannelEvent event, int count = 1, int limitMs = 10000) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return Count(event) >= count; });
    }
    int EventCount(EChannelEvent event) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return Count(event);
    }
    std::vector<EChannelEvent> Events() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }

    // The channel's protected state and helpers, for the tests.
    using CSerialIO::AppendReceived;
    using CSerialIO::m_bBlockWrites;
    using CSerialIO::m_bHoldEvents;
    using CSerialIO::m_nBaudIndex;
    using CSerialIO::m_nRxCapacity;
    using CSerialIO::m_nRxRead;
    using CSerialIO::m_nRxWrite;
    using CSerialIO::m_pRxBuffer;

private:
    static constexpr EChannelEvent kNoEvent = static_cast<EChannelEvent>(-1);
    int Count(EChannelEvent event) const {
        int n = 0;
        for (EChannelEvent e : m_events) n += e == event;
        return n;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::condition_variable m_released;
    std::vector<EChannelEvent> m_events;
    EChannelEvent m_blockOn = kNoEvent;
    bool m_release = true;
};
