// SPDX-License-Identifier: Apache-2.0
#include "app/win32/data_check_dlg.h"

#include <thread>

#include "app/common/format_text.h"
#include "app/common/resource_ids.h"
#include "app/win32/dialog_text.h"
#include "platform/window_messages.h"

CDataCheckDlg::CDataCheckDlg() : CDialog(IDD_DATA_CHECK) {}

INT_PTR CDataCheckDlg::Run(HWND owner, const Check& check) {
    m_abandoned = false;
    std::thread checker([this, &check] { RunCheck(check); });
    const INT_PTR result = RunModal(owner);
    if (result == -1) m_abandoned = true;
    // The check uses what its caller owns to its last line.
    checker.join();
    return result;
}

void CDataCheckDlg::RunCheck(const Check& check) {
    // The dialog's window must exist before the first percentage is posted to it.
    while (!m_target.Window()) {
        if (m_abandoned) return;
        ::Sleep(10);
    }
    const bool passed = check(&m_target);
    PostMessageW(m_target.Window(), kEndMessage, passed ? RESULT_PASSED : RESULT_FAILED, 0);
}

INT_PTR CDataCheckDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: m_target.Attach(Handle()); return TRUE;
    case WM_DL_PROGRESS:
        SetItemTextUtf8(Handle(), IDC_STATIC_CHECK, FormatNumber(m_progressFormat, static_cast<long long>(wParam)));
        SetMessageResult(0);
        return TRUE;
    case kEndMessage: EndDialog(Handle(), static_cast<INT_PTR>(wParam)); return TRUE;
    case WM_COMMAND:
        // Enter (IDOK) and Esc (IDCANCEL) would end the dialog while the check runs.
        return LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL;
    case WM_DESTROY:
        // Nothing is posted to a window that has gone.
        m_target.Attach(nullptr);
        return FALSE;
    default: return FALSE;
    }
}
