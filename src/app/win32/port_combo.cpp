// SPDX-License-Identifier: Apache-2.0
#include "app/win32/port_combo.h"

#include <commctrl.h>

#include "platform/win32/wide_text.h"

namespace {

TOOLINFOW ToolOf(HWND combo, HWND owner) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(combo);
    return tool;
}

}  // namespace

CPortCombo::~CPortCombo() {
    if (m_tooltip) DestroyWindow(m_tooltip);
}

void CPortCombo::Bind(HWND combo) {
    m_combo = combo;
    const HWND owner = GetParent(combo);
    m_tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr),
                                nullptr);
    TOOLINFOW tool = ToolOf(m_combo, owner);
    tool.lpszText = m_tip.data();
    SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CPortCombo::ShowPorts(const std::vector<MainWindowView::PortItem>& ports) {
    SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    m_devices.clear();
    for (const MainWindowView::PortItem& port : ports) {
        Add(port.text, port.number);
        m_devices.push_back(port.device);
    }
    if (!ports.empty()) SendMessageW(m_combo, CB_SETCURSEL, 0, 0);
    ShowSelectedDevice();
}

void CPortCombo::ShowNoPort(const std::string& text) {
    SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    m_devices.assign(1, std::string());
    Add(text, 0);
    SendMessageW(m_combo, CB_SETCURSEL, 0, 0);
    ShowSelectedDevice();
}

uint32_t CPortCombo::Selected() const {
    const LRESULT index = SendMessageW(m_combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return 0;
    const LRESULT data = SendMessageW(m_combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? 0 : static_cast<uint32_t>(data);
}

void CPortCombo::ShowSelectedDevice() {
    if (!m_tooltip) return;
    const LRESULT index = SendMessageW(m_combo, CB_GETCURSEL, 0, 0);
    const bool known = index >= 0 && static_cast<size_t>(index) < m_devices.size();
    m_tip = platform::win32::Widen(known ? m_devices[static_cast<size_t>(index)] : std::string());
    TOOLINFOW tool = ToolOf(m_combo, GetParent(m_combo));
    tool.lpszText = m_tip.data();
    SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CPortCombo::Add(const std::string& text, uint32_t number) {
    const std::wstring wide = platform::win32::Widen(text);
    const LRESULT index = SendMessageW(m_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (index >= 0) SendMessageW(m_combo, CB_SETITEMDATA, static_cast<WPARAM>(index), number);
}
