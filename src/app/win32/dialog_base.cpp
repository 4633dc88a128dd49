// SPDX-License-Identifier: Apache-2.0
#include "app/win32/dialog_base.h"

INT_PTR CDialog::RunModal(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner, &CDialog::Procedure,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->m_window.store(window);
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) get default handling.
    if (!dialog) return FALSE;
    const INT_PTR handled = dialog->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        dialog->m_window.store(nullptr);
        SetWindowLongPtrW(window, DWLP_USER, 0);
    }
    return handled;
}
