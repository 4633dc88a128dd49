// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QIcon>
#include <cstdint>
#include <string>
#include <vector>

#include "app/common/main_window_presenter.h"
#include "app/window/data_check_dlg.h"
#include "app/window/notify_event.h"
#include "app/window/template_dialog.h"
#include "engine/dl_operator.h"
#include "platform/read_only_file.h"

class CPortComboBox;
class CPrompter;
class CResourceLibrary;
class QTreeWidget;

// The tool's working window: checks the embedded package when it opens, lists the serial
// ports, starts and stops downloads and lists their status and progress, newest line on top.
// What it shows and allows is decided by its CMainWindowPresenter; this class draws with Qt
// and forwards the user's actions and the engine's messages.
class CVexlorDlg : public CTemplateDialog, private MainWindowView {
    Q_OBJECT
public:
    // The window's result when the package check failed.
    static constexpr int RESULT_CHECK_FAILED = 3;

    using Options = MainWindowOptions;

    CVexlorDlg(const CResourceLibrary& library, CPrompter& prompter);
    CVexlorDlg(const CResourceLibrary& library, CPrompter& prompter, Options options, QWidget* parent = nullptr);
    ~CVexlorDlg() override;

    // Opening: runs the package check behind the data checking dialog, then fills the window.
    // False when the check failed; the user has been told and the window must end. RunModal
    // calls it; shown without a loop of its own (show()) the window is opened with it first.
    bool OnInitDialog();
    // Opening and the modal loop. RESULT_CHECK_FAILED after a failed check.
    int RunModal();

    // Closing asks first while a download runs and stops it before the window ends.
    void done(int result) override;

    // The data checking dialog as the package check left it.
    const CDataCheckDlg& DataCheckDialog() const { return m_dataCheckDlg; }

protected:
    void customEvent(QEvent* event) override;
    // Enter that no button takes acts as the close box: it asks first while a download runs.
    void keyPressEvent(QKeyEvent* event) override;

private:
    int RunDataCheck();
    void OnSysCommand(unsigned commandId);
    // The device behind the chosen port, as the combo's tooltip.
    void ShowPortDevice();

    // MainWindowView: drawing with Qt.
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
    CPrompter& m_prompter;
    QTreeWidget* m_statusList;
    CPortComboBox* m_portCombo;
    QIcon m_icon;

    // Declared before the operator: what its threads use must outlive it.
    platform::ReadOnlyFile m_programFile;
    CDataCheckDlg m_dataCheckDlg;
    CQtNotifyTarget m_target;
    CDLOperator m_operator;
    CMainWindowPresenter m_presenter;  // after the operator it drives
};
