// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

// The program's icon (IDR_MAINFRAME) at the system's big and small sizes, as a window shows it;
// destroyed with this.
class CProgramIcons {
public:
    CProgramIcons();
    ~CProgramIcons();
    CProgramIcons(const CProgramIcons&) = delete;
    CProgramIcons& operator=(const CProgramIcons&) = delete;

    // Gives window both sizes (its title bar, the task bar, Alt+Tab).
    void SetOn(HWND window) const;
    HICON Big() const { return m_big; }

private:
    HICON m_big;
    HICON m_small;
};
