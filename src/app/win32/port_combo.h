// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/common/main_window_view.h"

// The port list: a drop-down list whose items carry their port numbers as item data, with the
// device behind the chosen port as its tooltip (which port is which cable).
class CPortCombo {
public:
    CPortCombo() = default;
    ~CPortCombo();
    CPortCombo(const CPortCombo&) = delete;
    CPortCombo& operator=(const CPortCombo&) = delete;

    void Bind(HWND combo);
    // These items, the first selected.
    void ShowPorts(const std::vector<MainWindowView::PortItem>& ports);
    // The one item that says there is no port; it carries 0.
    void ShowNoPort(const std::string& text);
    // The chosen item's port number; 0 when nothing is chosen.
    uint32_t Selected() const;
    // The user chose another item: its device becomes the tooltip.
    void ShowSelectedDevice();

private:
    void Add(const std::string& text, uint32_t number);

    HWND m_combo = nullptr;
    HWND m_tooltip = nullptr;
    std::vector<std::string> m_devices;  // by item
    std::wstring m_tip;                  // the tooltip's text, kept while it shows
};
