// SPDX-License-Identifier: Apache-2.0
#include "app/window/data_check_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QTimer>

#include "app/common/resource_ids.h"
#include "app/window/library_text.h"
#include "platform/window_messages.h"

CDataCheckDlg::CDataCheckDlg(QWidget* parent)
    : CTemplateDialog(IDD_DATA_CHECK, parent), m_status(Label(IDC_STATIC_CHECK)), m_target(this) {}

QString CDataCheckDlg::StatusText() const { return m_status->text(); }

void CDataCheckDlg::EndFromAnyThread(int result) {
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            m_ending = true;
            done(result);
        },
        Qt::QueuedConnection);
}

void CDataCheckDlg::customEvent(QEvent* event) {
    if (event->type() != CNotifyEvent::Type()) return CTemplateDialog::customEvent(event);
    const auto* notify = static_cast<CNotifyEvent*>(event);
    if (notify->Message() == WM_DL_PROGRESS) {
        m_status->setText(FormatWithNumber(m_progressFormat, static_cast<long long>(notify->WParam())));
    }
}

void CDataCheckDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: event->accept(); return;
    default: CTemplateDialog::keyPressEvent(event);
    }
}

void CDataCheckDlg::reject() {
    // Only the end the check asked for closes the dialog.
    if (m_ending) CTemplateDialog::reject();
}

void CDataCheckDlg::closeEvent(QCloseEvent* event) {
    if (m_ending) return CTemplateDialog::closeEvent(event);
    event->ignore();
}

int CDataCheckDlg::RunCheck(std::function<bool(platform::NotifyTarget*)> check) {
    QTimer::singleShot(0, this, [this, check = std::move(check)] {
        m_checkThread =
            std::thread([this, check] { EndFromAnyThread(check(Target()) ? RESULT_PASSED : RESULT_FAILED); });
    });
    const int result = exec();
    WaitForCheck();
    return result;
}

void CDataCheckDlg::WaitForCheck() {
    if (m_checkThread.joinable()) m_checkThread.join();
}
