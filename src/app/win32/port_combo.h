#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/common/main_window_view.h"

// The port list: a drop-down list whose items carry their port numbers as item data.
class CPortCombo {
public:
    void Bind(HWND combo) { m_combo = combo; }
    // These items, the first selected.
    void ShowPorts(const std::vector<MainWindowView::PortItem>& ports);
    // The one item that says there is no port; it carries 0.
    void ShowNoPort(const std::string& text);
    // The chosen item's port number; 0 when nothing is chosen.
    uint32_t Selected() const;

private:
    void Add(const std::string& text, uint32_t number);

    HWND m_combo = nullptr;
};
