// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

// Work that a window runs on its own thread once the messages queued before it have been
// handled: each Add posts one message, and the window calls RunOne when that message arrives.
// The work stays here, not in the message, so none is lost or leaked when the window goes first.
class CLaterQueue {
public:
    static constexpr UINT kMessage = WM_APP + 0x10;

    void Attach(HWND window) { m_window = window; }
    void Add(std::function<void()> work);
    void RunOne();

private:
    HWND m_window = nullptr;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_work;
};
