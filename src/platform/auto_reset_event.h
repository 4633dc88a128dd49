// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <condition_variable>
#include <mutex>

namespace platform {

// An event that releases exactly one waiter per Set and then resets itself,
// like the Windows auto-reset event the download engine is built around.
class AutoResetEvent {
public:
    static constexpr int kInfinite = -1;

    void Set();
    void Reset();
    // Waits up to timeoutMs milliseconds (kInfinite: no limit). True when the event was set.
    // The time-out is taken as given: callers scale the tool's fixed pauses with ScaledMs themselves.
    bool Wait(int timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_signalled = false;
};

}  // namespace platform
