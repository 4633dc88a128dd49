// SPDX-License-Identifier: Apache-2.0
#include "app/win32/program_icon.h"

#include "app/common/resource_ids.h"

namespace {

HICON LoadProgramIcon(int metricX, int metricY) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
}

}  // namespace

CProgramIcons::CProgramIcons()
    : m_big(LoadProgramIcon(SM_CXICON, SM_CYICON)), m_small(LoadProgramIcon(SM_CXSMICON, SM_CYSMICON)) {}

CProgramIcons::~CProgramIcons() {
    if (m_big) DestroyIcon(m_big);
    if (m_small) DestroyIcon(m_small);
}

void CProgramIcons::SetOn(HWND window) const {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_big));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_small));
}
