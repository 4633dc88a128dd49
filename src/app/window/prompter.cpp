// SPDX-License-Identifier: Apache-2.0
#include "app/window/prompter.h"

#include <QMessageBox>

namespace {
const QString kCaption = QStringLiteral("Vexlor");
}

bool CMessageBoxPrompter::AskYesNo(QWidget* parent, const QString& text) {
    return QMessageBox::warning(parent, kCaption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

void CMessageBoxPrompter::Inform(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, kCaption, text, QMessageBox::Ok);
}

void CMessageBoxPrompter::Error(const QString& caption, const QString& text) {
    QMessageBox::critical(nullptr, caption, text, QMessageBox::Ok);
}
