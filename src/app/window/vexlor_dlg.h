// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QIcon>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/common/main_window_presenter.h"
#include "app/window/data_check_dlg.h"
#include "app/window/notify_event.h"
#include "app/window/template_dialog.h"
#include "engine/dl_operator.h"
#include "engine/message_sink.h"
#include "platform/read_only_file.h"
#include "serial/serial_port_list.h"

class CPortComboBox;
class CPrompter;
class CResourceLibrary;
class QAction;
class QTreeWidget;

// The tool's working window: checks the embedded package when it opens, lists the serial
// ports, starts and stops downloads and lists their status and progress, newest line on top.
// What it shows and allows is decided by its CMainWindowPresenter; this class draws with Qt.
class CVexlorDlg : public CTemplateDialog, private MainWindowView {
    Q_OBJECT
public:
    using ControlState = CMainWindowPresenter::ControlState;

    // The window's result when the package check failed.
    static constexpr int RESULT_CHECK_FAILED = 3;

    struct Options {
        std::string programPath;     // the file holding the package; empty: the running program
        SerialCommSources portSources;  // where the port list comes from; empty fields: the system's
    };

    CVexlorDlg(const CResourceLibrary& library, CPrompter& prompter);
    CVexlorDlg(const CResourceLibrary& library, CPrompter& prompter, Options options, QWidget* parent = nullptr);
    // Stops a download that still runs: the operator and the program file go only after it.
    ~CVexlorDlg() override;

    // Opening: runs the package check behind the data checking dialog, then fills the window.
    // False when the check failed; the user has been told and the window must end.
    bool OnInitDialog();
    // Opening and the modal loop. RESULT_CHECK_FAILED after a failed check.
    int RunModal();

    // Closing asks first while a download runs and stops it before the window ends.
    void done(int result) override;

    // The port numbers of the system's port list, in ascending order.
    std::vector<uint32_t> EnumerateSerialPorts() const;

    ControlState State() const { return m_presenter.State(); }
    CDataCheckDlg& DataCheckDialog() { return m_dataCheckDlg; }
    CDLOperator& Operator() { return m_operator; }
    // Where the download engine posts to this window.
    platform::NotifyTarget* Target() { return &m_target; }
    QAction* AboutAction() const { return m_aboutAction; }

    // Handlers, as the controls and the engine's messages reach them.
    void OnBtnStart();
    void OnBtnStop();
    void OnDropdownCmbCom();
    void OnDloadStatus(uint32_t statusCode);
    void OnDloadProgress(uint32_t percentage);
    void OnSysCommand(unsigned commandId);

protected:
    void customEvent(QEvent* event) override;
    // Enter that no button takes acts as the close box: it asks first while a download runs.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Shows the operator's own fixed messages (a thread that cannot be started or stopped).
    class COperatorMessages : public IMessageSink {
    public:
        COperatorMessages(CPrompter& prompter, QWidget* owner) : m_prompter(prompter), m_owner(owner) {}
        void Show(const char* text) override;

    private:
        CPrompter& m_prompter;
        QWidget* m_owner;
    };

    int RunDataCheck();
    void RunPackageCheck();
    // The device behind the chosen port, as the combo's tooltip.
    void ShowPortDevice();

    // MainWindowView: drawing with Qt.
    void SetTitle(const std::string& text) override;
    void SetCaptions(const std::string& start, const std::string& stop, const std::string& backup,
                     const std::string& restore) override;
    void ClearLines() override;
    void AppendLine(const std::string& text) override;
    void InsertTopLine(const std::string& text) override;
    void ShowPorts(const std::vector<PortItem>& ports) override;
    void ShowNoPort(const std::string& text) override;
    uint32_t SelectedPort() const override;
    void EnableControls(const ControlStates& states) override;
    bool AskYesNo(const std::string& text) override;
    void Later(std::function<void()> work) override;

    const CResourceLibrary& m_library;
    CPrompter& m_prompter;
    QTreeWidget* m_statusList;
    CPortComboBox* m_portCombo;
    QAction* m_aboutAction = nullptr;
    QIcon m_icon;
    bool m_closing = false;
    std::atomic<int32_t> m_checkResult{0};  // the package check's result, set by its thread

    // Declared before the operator: what its threads use must outlive it.
    platform::ReadOnlyFile m_programFile;
    CDataCheckDlg m_dataCheckDlg;
    CQtNotifyTarget m_target;
    COperatorMessages m_operatorMessages;
    std::thread m_checkThread;
    CDLOperator m_operator;
    CMainWindowPresenter m_presenter;  // after the operator it drives
};
