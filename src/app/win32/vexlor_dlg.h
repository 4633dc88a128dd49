// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

// The engine's headers before <windows.h>: its macros (STILL_ACTIVE, BAUD_115200) would
// otherwise rewrite the engine's own names.
#include "app/common/main_window_presenter.h"
#include "app/win32/data_check_dlg.h"
#include "app/win32/dialog_base.h"
#include "app/win32/port_combo.h"
#include "app/win32/program_icon.h"
#include "app/win32/status_list.h"
#include "app/win32/window_notify_target.h"
#include "engine/dl_operator.h"
#include "platform/read_only_file.h"

class CResourceLibrary;

// The tool's working window: checks the embedded package when it opens, lists the serial
// ports, starts and stops downloads and lists their status and progress, newest line on top.
// What it shows and allows is decided by its CMainWindowPresenter; this class draws with Win32
// and forwards the user's actions and the engine's messages.
class CVexlorDlg : public CDialog, private MainWindowView {
public:
    // The window's result when the package check failed.
    static constexpr int RESULT_CHECK_FAILED = 3;

    using Options = MainWindowOptions;

    CVexlorDlg(const CResourceLibrary& library, Options options);

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInitDialog();
    void OnCommand(int controlId, int notification);
    bool PaintMinimized();

    // MainWindowView: drawing with Win32.
    void SetTitle(const std::string& text) override;
    void SetCaptions(const std::string& start, const std::string& stop, const std::string& backup,
                     const std::string& restore) override;
    void ClearLines() override;
    void AppendLine(const std::string& text) override;
    void InsertTopLine(const std::string& text) override;
    void ShowNow() override;
    void ShowPorts(const std::vector<PortItem>& ports) override;
    void ShowNoPort(const std::string& text) override;
    uint32_t SelectedPort() const override;
    void EnableControls(const ControlStates& states) override;
    bool AskYesNo(const std::string& text) override;
    void Inform(const std::string& text) override;

    const CResourceLibrary& m_library;
    CStatusList m_statusList;
    CPortCombo m_portCombo;
    CProgramIcons m_icons;

    // Declared before the operator: what its threads use must outlive it.
    platform::ReadOnlyFile m_programFile;
    CDataCheckDlg m_dataCheckDlg;
    CWindowNotifyTarget m_target;
    CDLOperator m_operator;
    CMainWindowPresenter m_presenter;  // after the operator it drives
};
