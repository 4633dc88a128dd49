// SPDX-License-Identifier: Apache-2.0
#include "app/win32/language_dlg.h"

#include "app/common/language_choice.h"
#include "app/common/resource_ids.h"
#include "platform/win32/wide_text.h"

CLanguageDlg::CLanguageDlg() : CDialog(IDD_LANGUAGE) {}

INT_PTR CLanguageDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    const HWND list = GetDlgItem(Handle(), IDC_LIST_LANGUAGE);
    switch (message) {
    case WM_INITDIALOG:
        for (const char* name : kLanguageNames) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(platform::win32::Widen(name).c_str()));
        }
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        SetFocus(list);
        return FALSE;  // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || (LOWORD(wParam) == IDC_LIST_LANGUAGE && HIWORD(wParam) == LBN_DBLCLK)) {
            const LRESULT position = SendMessageW(list, LB_GETCURSEL, 0, 0);
            m_position = position == LB_ERR ? 0 : static_cast<int>(position);
            EndDialog(Handle(), IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(Handle(), IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}
