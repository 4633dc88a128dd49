// SPDX-License-Identifier: Apache-2.0
#include "app/win32/bench_table.h"

#include <utility>

#include "platform/win32/wide_text.h"

using platform::win32::Widen;

namespace {

// Column widths in dialog units (so they grow with the font and the screen's scale), in the
// table's order: the last result takes what is left of the window and scrolls sideways beyond it.
constexpr int kWidths[CBenchTable::kColumns] = {40, 68, 57, 51, 46, 40, 44, 28, 28, 228};

constexpr UINT kUnchecked = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kChecked = INDEXTOSTATEIMAGEMASK(2);

// The check box of a state: 0 none yet (a row being inserted), 1 unchecked, 2 checked.
UINT CheckImage(UINT state) { return (state & LVIS_STATEIMAGEMASK) >> 12; }

}  // namespace

void CBenchTable::Bind(HWND list) {
    m_list = list;
    const DWORD styles = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
    SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
}

void CBenchTable::SetHeadings(const std::vector<std::string>& headings) {
    while (SendMessageW(m_list, LVM_DELETECOLUMN, 0, 0)) {}
    for (int column = 0; column < kColumns; ++column) {
        std::wstring text = Widen(static_cast<size_t>(column) < headings.size() ? headings[column] : std::string());
        LVCOLUMNW item{};
        item.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        item.fmt = column >= kDone && column <= kFailed ? LVCFMT_RIGHT : LVCFMT_LEFT;
        RECT width{0, 0, kWidths[column], 0};
        MapDialogRect(GetParent(m_list), &width);
        item.cx = width.right;
        item.pszText = text.data();
        SendMessageW(m_list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    }
}

void CBenchTable::SetRows(const std::vector<BenchWindowView::PortItem>& ports) {
    m_filling = true;
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    m_rows.assign(ports.size(), BenchWindowView::Row{});
    for (size_t row = 0; row < ports.size(); ++row) {
        std::wstring port = Widen(ports[row].port);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(row);
        item.pszText = port.data();
        SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        SetCell(row, kDevice, ports[row].device);
        LVITEMW check{};
        check.stateMask = LVIS_STATEIMAGEMASK;
        check.state = ports[row].checked ? kChecked : kUnchecked;
        SendMessageW(m_list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&check));
    }
    m_filling = false;
}

void CBenchTable::UpdateRow(size_t row, const BenchWindowView::Row& content) {
    if (row >= m_rows.size()) return;
    // Only the cells that changed: each one set repaints its item. A row from SetRows has none
    // set yet.
    const BenchWindowView::Row before = std::exchange(m_rows[row], content);
    const bool fresh = before.stateText.empty();
    auto set = [&](int column, bool changed, const std::string& text) {
        if (fresh || changed) SetCell(row, column, text);
    };
    set(kState, before.stateText != content.stateText, content.stateText);
    set(kProgress, before.showProgress != content.showProgress || before.percent != content.percent,
        content.showProgress ? std::to_string(content.percent) + "%" : std::string());
    set(kRate, before.rate != content.rate, content.rate);
    set(kTimeLeft, before.timeLeft != content.timeLeft, content.timeLeft);
    set(kEsn, before.esn != content.esn, content.esn);
    set(kDone, before.done != content.done, std::to_string(content.done));
    set(kFailed, before.failed != content.failed, std::to_string(content.failed));
    set(kResult, before.resultLine != content.resultLine, content.resultLine);
}

bool CBenchTable::CheckChanged(const NMLISTVIEW& change, size_t& row, bool& checked) const {
    // A row being inserted gets its first check box (from none): not the user's doing.
    if (m_filling || !ChangesCheck(change) || CheckImage(change.uOldState) == 0 || change.iItem < 0) return false;
    row = static_cast<size_t>(change.iItem);
    checked = CheckImage(change.uNewState) == 2;
    return true;
}

bool CBenchTable::ChangesCheck(const NMLISTVIEW& change) {
    return (change.uChanged & LVIF_STATE) && ((change.uOldState ^ change.uNewState) & LVIS_STATEIMAGEMASK);
}

LRESULT CBenchTable::CustomDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const size_t row = draw.nmcd.dwItemSpec;
        if (draw.iSubItem != kProgress || row >= m_rows.size() || !m_rows[row].showProgress) return CDRF_DODEFAULT;
        DrawBar(draw, m_rows[row]);
        return CDRF_SKIPDEFAULT;
    }
    default: return CDRF_DODEFAULT;
    }
}

void CBenchTable::DrawBar(NMLVCUSTOMDRAW& draw, const BenchWindowView::Row& content) const {
    RECT cell{};
    cell.top = kProgress;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(m_list, LVM_GETSUBITEMRECT, draw.nmcd.dwItemSpec, reinterpret_cast<LPARAM>(&cell))) return;
    const HDC dc = draw.nmcd.hdc;
    FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
    RECT bar = cell;
    InflateRect(&bar, -3, -2);
    FrameRect(dc, &bar, GetSysColorBrush(COLOR_BTNSHADOW));
    RECT filled = bar;
    InflateRect(&filled, -1, -1);
    const unsigned percent = content.percent > 100 ? 100 : content.percent;
    filled.right = filled.left + (filled.right - filled.left) * static_cast<LONG>(percent) / 100;
    if (filled.right > filled.left) FillRect(dc, &filled, GetSysColorBrush(COLOR_HIGHLIGHT));
    const std::wstring text = std::to_wstring(percent) + L"%";
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(percent >= 50 ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bar, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

int CBenchTable::SelectedRow() const {
    return static_cast<int>(SendMessageW(m_list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::string CBenchTable::Detail(size_t row) const {
    if (row >= m_rows.size()) return std::string();
    const BenchWindowView::Row& content = m_rows[row];
    return content.resultDetail.empty() ? content.resultLine : content.resultDetail;
}

void CBenchTable::SetCell(size_t row, int column, const std::string& text) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(m_list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}
