// SPDX-License-Identifier: Apache-2.0
#include "app/win32/window_notify_target.h"

void CWindowNotifyTarget::Post(uint32_t message, uintptr_t wParam) {
    const HWND window = m_window.load();
    if (window) PostMessageW(window, message, static_cast<WPARAM>(wParam), 0);
}
