// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

#include <atomic>

#include "platform/notify_target.h"

// The engine's notification target for one window: Post sends the message to the window's
// queue with PostMessageW (wParam as given, lParam 0), from any thread, so its handler runs on
// the window's own thread in posting order. Before a window is attached, messages are dropped,
// as posting to no window does.
class CWindowNotifyTarget : public platform::NotifyTarget {
public:
    void Attach(HWND window) { m_window.store(window); }
    HWND Window() const { return m_window.load(); }
    void Post(uint32_t message, uintptr_t wParam) override;

private:
    std::atomic<HWND> m_window{nullptr};
};
