#include "app/win32/port_combo.h"

#include "platform/win32/wide_text.h"

void CPortCombo::ShowPorts(const std::vector<MainWindowView::PortItem>& ports) {
    SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    for (const MainWindowView::PortItem& port : ports) Add(port.text, port.number);
    if (!ports.empty()) SendMessageW(m_combo, CB_SETCURSEL, 0, 0);
}

void CPortCombo::ShowNoPort(const std::string& text) {
    SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    Add(text, 0);
    SendMessageW(m_combo, CB_SETCURSEL, 0, 0);
}

uint32_t CPortCombo::Selected() const {
    const LRESULT index = SendMessageW(m_combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return 0;
    const LRESULT data = SendMessageW(m_combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? 0 : static_cast<uint32_t>(data);
}

void CPortCombo::Add(const std::string& text, uint32_t number) {
    const std::wstring wide = platform::win32::Widen(text);
    const LRESULT index = SendMessageW(m_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (index >= 0) SendMessageW(m_combo, CB_SETITEMDATA, static_cast<WPARAM>(index), number);
}
