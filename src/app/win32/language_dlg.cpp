// SPDX-License-Identifier: Apache-2.0
#include "app/win32/language_dlg.h"

#include "app/win32/resource.h"

CLanguageDlg::CLanguageDlg() : CDialog(IDD_LANGUAGE) {}

INT_PTR CLanguageDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    const HWND list = GetDlgItem(Handle(), IDC_LIST_LANGUAGE);
    switch (message) {
        case WM_INITDIALOG:
            // The program's own texts, in list position order (LanguagePosition).
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"English U.S."));
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"\u7e41\u9ad4\u4e2d\u6587"));
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"\u7b80\u4f53\u4e2d\u6587"));
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
        default:
            return FALSE;
    }
}
