// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "app/common/bench_window_view.h"

// The bench window's port table: a report-view list view with a check box on each row, one
// column per heading, and the progress column drawn as a bar (custom draw) over its percentage
// text. It keeps what each row shows, so the bar and the selected row's detail can be drawn
// from it.
class CBenchTable {
public:
    // The columns, in the table's order.
    enum Column { kPort, kDevice, kState, kProgress, kRate, kTimeLeft, kEsn, kDone, kFailed, kResult, kColumns };

    void Bind(HWND list);
    void SetHeadings(const std::vector<std::string>& headings);
    // Replaces every row; no check-box change is reported while they are filled in.
    void SetRows(const std::vector<BenchWindowView::PortItem>& ports);
    void UpdateRow(size_t row, const BenchWindowView::Row& content);

    // A notification of the list's: when it is a change of a row's check box made by the user,
    // its row and new state.
    bool CheckChanged(const NMLISTVIEW& change, size_t& row, bool& checked) const;
    // Whether a pending change (LVN_ITEMCHANGING) touches a row's check box.
    static bool ChangesCheck(const NMLISTVIEW& change);
    // True while SetRows fills the rows in (their check boxes are set then, whatever the state).
    bool Filling() const { return m_filling; }
    // The custom draw answer for the list (NM_CUSTOMDRAW).
    LRESULT CustomDraw(NMLVCUSTOMDRAW& draw) const;
    // The row the user selected; -1 for none.
    int SelectedRow() const;
    // The full last result of row ("" for none).
    std::string Detail(size_t row) const;

private:
    void SetCell(size_t row, int column, const std::string& text);
    void DrawBar(NMLVCUSTOMDRAW& draw, const BenchWindowView::Row& content) const;

    HWND m_list = nullptr;
    std::vector<BenchWindowView::Row> m_rows;
    bool m_filling = false;
};
