// SPDX-License-Identifier: Apache-2.0
#include "app/window/language_dlg.h"

#include <QListWidget>
#include <QPushButton>

#include "app/common/language_choice.h"
#include "app/common/resource_ids.h"

CLanguageDlg::CLanguageDlg(QWidget* parent) : CTemplateDialog(IDD_LANGUAGE, parent) {
    QListWidget* list = ListBox(IDC_LIST_LANGUAGE);
    for (const char* name : kLanguageNames) list->addItem(QString::fromUtf8(name));
    list->setCurrentRow(0);
    connect(list, &QListWidget::itemDoubleClicked, this, &CLanguageDlg::accept);
    connect(Button(IDOK), &QPushButton::clicked, this, &CLanguageDlg::accept);
    connect(Button(IDCANCEL), &QPushButton::clicked, this, &CLanguageDlg::reject);
    list->setFocus();
}

void CLanguageDlg::accept() {
    m_position = ListBox(IDC_LIST_LANGUAGE)->currentRow();
    done(IDOK);
}

void CLanguageDlg::reject() { done(IDCANCEL); }
