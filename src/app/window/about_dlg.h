// SPDX-License-Identifier: Apache-2.0
#pragma once
#include "app/window/template_dialog.h"

class CResourceLibrary;

// The About box: the program's icon, the tool's title and OK. Caption and title come from the
// language library, formatted with the model code.
class CAboutDlg : public CTemplateDialog {
    Q_OBJECT
public:
    CAboutDlg(const CResourceLibrary& library, QWidget* parent = nullptr);
};
