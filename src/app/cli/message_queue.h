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
    };

    void Post(uint32_t message, uintptr_t wParam) override;
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
