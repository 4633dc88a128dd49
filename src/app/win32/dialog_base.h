// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>
// CResourceLibrary::LoadString must keep its name in the files that include this one.
#undef LoadString

#include <atomic>

// A modal dialog from one of the program's own templates (window.rc). Subclasses handle its
// messages in OnMessage, with the dialog procedure's conventions: FALSE for default handling.
class CDialog {
public:
    explicit CDialog(int templateId) : m_templateId(templateId) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Shows the dialog and runs its modal loop: the result it ended with, or -1 when it could
    // not be shown (no display, a missing template).
    INT_PTR RunModal(HWND owner);
    // The dialog's window while it is open (readable from any thread), else null.
    HWND Handle() const { return m_window.load(); }

protected:
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Sets the result of a message whose handler returned TRUE.
    void SetMessageResult(LRESULT result) { SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, result); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int m_templateId;
    std::atomic<HWND> m_window{nullptr};
};
