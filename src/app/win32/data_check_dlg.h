// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <functional>
#include <string>

#include "app/win32/dialog_base.h"
#include "app/win32/window_notify_target.h"

// Stands in front of the main window while the package is checked and shows the check's
// percentage. Only the check ends it: Enter and Esc are ignored and there is no close box, so
// the dialog can never be taken for a passed check while the check still runs.
class CDataCheckDlg : public CDialog {
public:
    static constexpr int RESULT_PASSED = 1;
    static constexpr int RESULT_FAILED = 2;

    // The check: runs on a thread of its own, posts WM_DL_PROGRESS to target, true when passed.
    using Check = std::function<bool(platform::NotifyTarget* target)>;

    CDataCheckDlg();

    // The library's progress text, filled with each percentage (set before the dialog runs).
    void SetProgressFormat(std::string format) { m_progressFormat = std::move(format); }

    // Shows the dialog while check runs, and returns once both have ended: RESULT_PASSED,
    // RESULT_FAILED, or -1 when the dialog could not be shown (check is then not run).
    INT_PTR Run(HWND owner, const Check& check);

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The check thread's end of the dialog, with its result in wParam.
    static constexpr UINT kEndMessage = WM_APP + 0x11;

    void RunCheck(const Check& check);

    std::string m_progressFormat;
    CWindowNotifyTarget m_target;
    std::atomic<bool> m_abandoned{false};
};
