// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "app/window/template_dialog.h"

// Asks for the language of the user interface at every start. OK (the button, Enter or a
// double-click on an entry) ends it with 1 and keeps the chosen list position; Cancel, Esc
// or the close box end it with 2.
class CLanguageDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CLanguageDlg(QWidget* parent = nullptr);

    // The list position chosen with OK (a LanguagePosition); 0 until then.
    int Position() const { return m_position; }

    void accept() override;
    void reject() override;

private:
    int m_position = 0;
};
