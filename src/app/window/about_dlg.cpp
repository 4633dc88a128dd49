// SPDX-License-Identifier: Apache-2.0
#include "app/window/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "app/window/library_text.h"
#include "lang/string_ids.h"

CAboutDlg::CAboutDlg(const CResourceLibrary& library, QWidget* parent) : CTemplateDialog(IDD_ABOUTBOX, parent) {
    connect(Button(IDOK), &QPushButton::clicked, this, &QDialog::accept);
    Label(IDC_STATIC_VERSION)->setText(LibTextWith(library, lang::IDS_TITLE, lang::kModelCode));
    setWindowTitle(LibTextWith(library, lang::IDS_ABOUT, lang::kModelCode));
}
