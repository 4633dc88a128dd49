// SPDX-License-Identifier: Apache-2.0
#include "app/win32/status_list.h"

#include <commctrl.h>

#include "platform/win32/wide_text.h"

void CStatusList::Bind(HWND list) {
    m_list = list;
    SendMessageW(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // One column far wider than the list: a long line (a path, both versions of a mismatch) is
    // read by scrolling sideways instead of being cut at the edge.
    constexpr int kColumnWidth = 1500;
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = kColumnWidth;
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
