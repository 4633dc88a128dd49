// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

#include <string>

// The main window's status list: a report-view list view with one column as wide as the list,
// no header; instruction lines are appended, run lines go on top.
class CStatusList {
public:
    // Binds the control and gives it its single column.
    void Bind(HWND list);
    void Clear();
    void Append(const std::string& text);
    void InsertTop(const std::string& text);

private:
    void Insert(int position, const std::string& text);

    HWND m_list = nullptr;
};
