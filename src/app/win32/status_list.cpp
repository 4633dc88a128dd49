#include "app/win32/status_list.h"

#include <commctrl.h>

#include "platform/win32/wide_text.h"

void CStatusList::Bind(HWND list) {
    m_list = list;
    SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // As wide as the list, less a vertical scroll bar: long lines end at the edge instead of
    // bringing up a horizontal scroll bar.
    RECT client{};
    GetClientRect(m_list, &client);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    wchar_t empty[] = L"";
    column.pszText = empty;
    SendMessageW(m_list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
}

void CStatusList::Clear() { SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0); }

void CStatusList::Append(const std::string& text) {
    Insert(static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)), text);
}

void CStatusList::InsertTop(const std::string& text) {
    Insert(0, text);
    SendMessageW(m_list, LVM_ENSUREVISIBLE, 0, FALSE);
}

void CStatusList::Insert(int position, const std::string& text) {
    std::wstring wide = platform::win32::Widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = position;
    item.pszText = wide.data();
    SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}
