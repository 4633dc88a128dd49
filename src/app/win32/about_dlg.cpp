// SPDX-License-Identifier: Apache-2.0
#include "app/win32/about_dlg.h"

#include "app/common/format_text.h"
#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "app/win32/dialog_text.h"
#include "lang/string_ids.h"

CAboutDlg::CAboutDlg(const CResourceLibrary& library) : CDialog(IDD_ABOUTBOX), m_library(library) {}

INT_PTR CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        SetItemTextUtf8(Handle(), IDC_STATIC_VERSION,
                        FormatText(m_library.LoadString(lang::IDS_TITLE), lang::kModelCode));
        SetWindowTextUtf8(Handle(), FormatText(m_library.LoadString(lang::IDS_ABOUT), lang::kModelCode));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(Handle(), LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}
