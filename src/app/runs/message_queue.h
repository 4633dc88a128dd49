// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/notify_target.h"

// The headless front end's notification target: messages posted from any thread wait in order
// until the front end's thread takes them.
class MessageQueue : public platform::NotifyTarget {
public:
    struct Message {
        uint32_t message = 0;
        uintptr_t wParam = 0;
        uint32_t source = 0;  // who posted it, where several post to one queue (0: Post)
    };

    void Post(uint32_t message, uintptr_t wParam) override;
    void PostFrom(uint32_t source, uint32_t message, uintptr_t wParam);
    // Waits for the next message. False once the queue is closed and empty.
    bool Wait(Message& next);
    // The same, waiting at most timeout: false also when none came in time.
    bool WaitFor(Message& next, std::chrono::milliseconds timeout);
    // True when no message waits.
    bool Empty();
    // No more messages will come; wakes the waiter.
    void Close();

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<Message> m_messages;
    bool m_closed = false;
};

// A notification target that posts to a shared queue under its own source number, so that
// several senders (one download operator per port) each keep their own stream of messages.
class TaggedTarget : public platform::NotifyTarget {
public:
    TaggedTarget(MessageQueue& queue, uint32_t source) : m_queue(queue), m_source(source) {}
    void Post(uint32_t message, uintptr_t wParam) override { m_queue.PostFrom(m_source, message, wParam); }
    uint32_t Source() const { return m_source; }

private:
    MessageQueue& m_queue;
    uint32_t m_source;
};
