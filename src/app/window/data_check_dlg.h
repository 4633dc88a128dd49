// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <functional>
#include <thread>

#include "app/window/notify_event.h"
#include "app/window/template_dialog.h"

class QLabel;

// Stands in front of the main window while the package is checked and shows the check's
// percentage. Only the check ends it: Enter, Esc and the window manager's close are ignored,
// so the dialog can never be taken for a passed check while the check still runs.
class CDataCheckDlg : public CTemplateDialog {
    Q_OBJECT
public:
    static constexpr int RESULT_PASSED = 1;
    static constexpr int RESULT_FAILED = 2;

    explicit CDataCheckDlg(QWidget* parent = nullptr);

    // The library's progress text, filled with each percentage (set before the dialog runs).
    void SetProgressFormat(const QString& format) { m_progressFormat = format; }
    const QString& ProgressFormat() const { return m_progressFormat; }
    QString StatusText() const;

    // Where the check posts its percentages.
    platform::NotifyTarget* Target() { return &m_target; }
    // Ends the dialog with result; callable from any thread (the end is queued).
    void EndFromAnyThread(int result);

    // Runs check on a thread of its own, started from inside the dialog's modal loop so that its
    // end can never come before the loop runs; the dialog's result once the check has ended.
    int RunCheck(std::function<bool(platform::NotifyTarget*)> check);
    // Waits for a check still running (an owner's destructor: the check uses what it owns).
    void WaitForCheck();

    void reject() override;

protected:
    void customEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* m_status;
    QString m_progressFormat;
    CQtNotifyTarget m_target;
    bool m_ending = false;
    std::thread m_checkThread;
};
