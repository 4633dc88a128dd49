// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "app/win32/dialog_base.h"

// The language dialog of every start: IDOK with the chosen list position (LanguagePosition),
// or IDCANCEL (Cancel, Esc, the close box).
class CLanguageDlg : public CDialog {
public:
    CLanguageDlg();
    int Position() const { return m_position; }

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int m_position = 0;
};
