// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "app/win32/dialog_base.h"

class CResourceLibrary;

// The About dialog, from the main window's system menu: the title text and caption in the
// chosen language; its OK button keeps the template's text.
class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(const CResourceLibrary& library);

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    const CResourceLibrary& m_library;
};
